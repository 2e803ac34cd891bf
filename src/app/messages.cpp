#include "app/messages.h"

namespace stagewell::app {
namespace {
const char kMissingValue[] = "ערך חסר";
const char kReceiveFailure[] = "כשל בקליטת הנתונים";
const char kCommunicationProblem[] = "בעיית תקשורת";
}  // namespace

const char* const kWaitText = "נא להמתין...";

const BoxMessage kWrongLaunch = {
    "אין מבצעים את הפעולה בשלב 1 על המחשב החדש. יש לגשת לעמדה אחרת ברשת ולהפעיל בה את הכפתור הצהוב", "הפעלה שגויה",
    kErrorBox};
const BoxMessage kCustomerMissing = {"מספר המנוי לא רשום", kMissingValue, kErrorBox};
const BoxMessage kCustomerCorrupted = {"מספר המנוי רשום בצורה משובשת", kMissingValue, kErrorBox};
const BoxMessage kTerminalInstallation = {"לא ניתן לאסוף נתוני התקנה. התקנת Terminal", "התקנה לא מתאימה", kErrorBox};
const BoxMessage kRepDirectoryMissing = {"ערך RepDirectory חסר", kMissingValue, kErrorBox};
const BoxMessage kDocDirectoryMissing = {"ערך LEDGDOCDIR חסר", kMissingValue, kErrorBox};
const BoxMessage kDatabaseInfoMissing = {"ערך DatabaseInfo חסר", kMissingValue, kErrorBox};
const BoxMessage kIdMissing = {"ערך ID חסר", kMissingValue, kErrorBox};
const BoxMessage kEditionTooOld = {"לא ניתן לשדרג אוטומטית  מהדורות מלפני 2015", "מהדורה ישנה מדי", kErrorBox};

// Our own refusals: an identity-less or oversized request is never sent.
const BoxMessage kIdentityUnknown = {"לא ניתן לקבוע את זהות המחשב. הנתונים לא שודרו", "זיהוי המחשב נכשל", kErrorBox};
const BoxMessage kDataTooLong = {"נתוני ההתקנה ארוכים מדי לשידור. הנתונים לא שודרו", "נתונים ארוכים מדי", kErrorBox};

const BoxMessage kAccepted = {"המאסטר מוכן להתקנה בעמדה החדשה. נא לגשת לתחנה ולהפעיל את הקישור המתאים", "סיום השידור",
                              kInformationBox};
const BoxMessage kDuplicate = {"הנתונים שודרו בהצלחה אך לא נרשמו בבסיס הנתונים עקב כפל רשומות", kReceiveFailure,
                               kErrorBox};
const BoxMessage kFault = {"הנתונים שודרו בהצלחה אך לא נרשמו בבסיס הנתונים עקב תקלה", kReceiveFailure, kErrorBox};
const BoxMessage kNoReply = {"השרת אינו עונה", kCommunicationProblem, kErrorBox};
// Our own: over HTTPS, a server whose certificate fails the check gets nothing.
const BoxMessage kCertificateInvalid = {"אישור האבטחה של השרת אינו תקף", kCommunicationProblem, kErrorBox};

}  // namespace stagewell::app
