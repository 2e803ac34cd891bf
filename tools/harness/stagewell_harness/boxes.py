"""The boxes a user can see at the end of a run, with the icon and alignment
src/app/messages.cpp gives each.

A Box compares as its (title, text) pair; its icon ("error", "information",
"warning", as the box driver names them) and alignment are attributes.

Wine 8 lays a message box out by the locale and ignores MB_RIGHT and
MB_RTLREADING (measured: the same styles with and without them). So under Wine
the right alignment of our boxes shows only in the Hebrew locale, where the
whole box is mirrored, and the flags themselves stay the unit tests' to check.
"""


class Box(tuple):
    def __new__(cls, title, text, icon, alignment="right"):
        box = super().__new__(cls, (title, text))
        box.icon, box.alignment = icon, alignment
        return box

    @property
    def title(self):
        return self[0]

    @property
    def text(self):
        return self[1]


WRONG_LAUNCH = Box("הפעלה שגויה",
                   "אין מבצעים את הפעולה בשלב 1 על המחשב החדש. יש לגשת לעמדה אחרת ברשת ולהפעיל בה את הכפתור הצהוב",
                   "error")
CUSTOMER_MISSING = Box("ערך חסר", "מספר המנוי לא רשום", "error")
CUSTOMER_CORRUPTED = Box("ערך חסר", "מספר המנוי רשום בצורה משובשת", "error")
TERMINAL = Box("התקנה לא מתאימה", "לא ניתן לאסוף נתוני התקנה. התקנת Terminal", "error")
REPDIRECTORY_MISSING = Box("ערך חסר", "ערך RepDirectory חסר", "error")
LEDGDOCDIR_MISSING = Box("ערך חסר", "ערך LEDGDOCDIR חסר", "error")
DATABASEINFO_MISSING = Box("ערך חסר", "ערך DatabaseInfo חסר", "error")
ID_MISSING = Box("ערך חסר", "ערך ID חסר", "error")
EDITION_TOO_OLD = Box("מהדורה ישנה מדי", "לא ניתן לשדרג אוטומטית  מהדורות מלפני 2015", "error")
IDENTITY_UNKNOWN = Box("זיהוי המחשב נכשל", "לא ניתן לקבוע את זהות המחשב. הנתונים לא שודרו", "error")
DATA_TOO_LONG = Box("נתונים ארוכים מדי", "נתוני ההתקנה ארוכים מדי לשידור. הנתונים לא שודרו", "error")
ACCEPTED = Box("סיום השידור", "המאסטר מוכן להתקנה בעמדה החדשה. נא לגשת לתחנה ולהפעיל את הקישור המתאים",
               "information")
DUPLICATE = Box("כשל בקליטת הנתונים", "הנתונים שודרו בהצלחה אך לא נרשמו בבסיס הנתונים עקב כפל רשומות", "error")
FAULT = Box("כשל בקליטת הנתונים", "הנתונים שודרו בהצלחה אך לא נרשמו בבסיס הנתונים עקב תקלה", "error")
NO_REPLY = Box("בעיית תקשורת", "השרת אינו עונה", "error")
CERTIFICATE_INVALID = Box("בעיית תקשורת", "אישור האבטחה של השרת אינו תקף", "error")

REFUSALS = [WRONG_LAUNCH, CUSTOMER_MISSING, CUSTOMER_CORRUPTED, TERMINAL, REPDIRECTORY_MISSING,
            LEDGDOCDIR_MISSING, DATABASEINFO_MISSING, ID_MISSING, EDITION_TOO_OLD]

# The boxes the identity and the client show themselves ("Unable to load
# ....dll", "Bad Url:..."): the application's title, a warning icon.
DIAGNOSTIC_TITLE = "Stagewell"
DIAGNOSTIC_ICON = "warning"

WAIT_TEXT = "נא להמתין..."
WAIT_TITLE = ""

WS_EX_LAYOUTRTL = 0x400000  # how Wine lays out a right-to-left reading box
WS_EX_TOPMOST = 0x8


def look(shown):
    """(icon, alignment) of a box the driver reported, to compare with a Box's."""
    return shown["icon"], shown["alignment"]
