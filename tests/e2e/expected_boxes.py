"""The boxes a user can see at the end of a run: (title, text)."""

WRONG_LAUNCH = ("הפעלה שגויה",
                "אין מבצעים את הפעולה בשלב 1 על המחשב החדש. יש לגשת לעמדה אחרת ברשת ולהפעיל בה את הכפתור הצהוב")
CUSTOMER_MISSING = ("ערך חסר", "מספר המנוי לא רשום")
CUSTOMER_CORRUPTED = ("ערך חסר", "מספר המנוי רשום בצורה משובשת")
TERMINAL = ("התקנה לא מתאימה", "לא ניתן לאסוף נתוני התקנה. התקנת Terminal")
REPDIRECTORY_MISSING = ("ערך חסר", "ערך RepDirectory חסר")
LEDGDOCDIR_MISSING = ("ערך חסר", "ערך LEDGDOCDIR חסר")
DATABASEINFO_MISSING = ("ערך חסר", "ערך DatabaseInfo חסר")
ID_MISSING = ("ערך חסר", "ערך ID חסר")
EDITION_TOO_OLD = ("מהדורה ישנה מדי", "לא ניתן לשדרג אוטומטית  מהדורות מלפני 2015")
IDENTITY_UNKNOWN = ("זיהוי המחשב נכשל", "לא ניתן לקבוע את זהות המחשב. הנתונים לא שודרו")
DATA_TOO_LONG = ("נתונים ארוכים מדי", "נתוני ההתקנה ארוכים מדי לשידור. הנתונים לא שודרו")
ACCEPTED = ("סיום השידור", "המאסטר מוכן להתקנה בעמדה החדשה. נא לגשת לתחנה ולהפעיל את הקישור המתאים")
DUPLICATE = ("כשל בקליטת הנתונים", "הנתונים שודרו בהצלחה אך לא נרשמו בבסיס הנתונים עקב כפל רשומות")
FAULT = ("כשל בקליטת הנתונים", "הנתונים שודרו בהצלחה אך לא נרשמו בבסיס הנתונים עקב תקלה")
NO_REPLY = ("בעיית תקשורת", "השרת אינו עונה")

REFUSALS = [WRONG_LAUNCH, CUSTOMER_MISSING, CUSTOMER_CORRUPTED, TERMINAL, REPDIRECTORY_MISSING,
            LEDGDOCDIR_MISSING, DATABASEINFO_MISSING, ID_MISSING, EDITION_TOO_OLD]

WS_EX_LAYOUTRTL = 0x400000  # how Wine lays out a right-to-left reading box
WS_EX_TOPMOST = 0x8
