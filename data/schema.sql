-- The Quillby store: four tables. Text widths count characters; a value longer than its column
-- is refused by the named CHECK constraint "<table>.<column> width". IIDs are never reused.
--
-- LOGINKEY and FULLNAMEKEY hold LOGIN and FULLNAME with the case of every letter folded (not
-- only ASCII), written by the program with every row. Sign-in looks logins up through their
-- index, and the file stays readable and writable by the plain sqlite3 tool, which knows
-- nothing of the program's folding.

CREATE TABLE Users (
  IID INTEGER PRIMARY KEY AUTOINCREMENT,
  FULLNAME TEXT CONSTRAINT "Users.FULLNAME width" CHECK (length(FULLNAME) <= 50),
  LOGIN TEXT CONSTRAINT "Users.LOGIN width" CHECK (length(LOGIN) <= 15),
  PASSWORD TEXT CONSTRAINT "Users.PASSWORD width" CHECK (length(PASSWORD) <= 32),
  LOGINKEY TEXT NOT NULL,
  FULLNAMEKEY TEXT NOT NULL
) STRICT;
CREATE INDEX UsersLoginKey ON Users (LOGINKEY, LOGIN);
CREATE INDEX UsersFullNameKey ON Users (FULLNAMEKEY);

CREATE TABLE DebtCalc (
  "USER" INTEGER NOT NULL,
  RENT INTEGER,
  CRCARD INTEGER,
  CARLOAN INTEGER,
  OTHERLOAN INTEGER,
  GROSSSAL INTEGER,
  BONUS INTEGER,
  OTHERSRC INTEGER,
  ALIMONY INTEGER
) STRICT;
CREATE UNIQUE INDEX DebtCalcUser ON DebtCalc ("USER");

CREATE TABLE Counselling (
  "USER" INTEGER,
  FULLNAME TEXT CONSTRAINT "Counselling.FULLNAME width" CHECK (length(FULLNAME) <= 50),
  EMAIL TEXT CONSTRAINT "Counselling.EMAIL width" CHECK (length(EMAIL) <= 50),
  STREETADDRESS TEXT,
  ZIPCODE TEXT CONSTRAINT "Counselling.ZIPCODE width" CHECK (length(ZIPCODE) <= 7),
  BESTPHONE TEXT CONSTRAINT "Counselling.BESTPHONE width" CHECK (length(BESTPHONE) <= 14),
  BESTTIME TEXT CONSTRAINT "Counselling.BESTTIME width" CHECK (length(BESTTIME) <= 50),
  DEBTAMOUNT TEXT CONSTRAINT "Counselling.DEBTAMOUNT width" CHECK (length(DEBTAMOUNT) <= 25),
  IID INTEGER PRIMARY KEY AUTOINCREMENT
) STRICT;

CREATE TABLE HelpImprove (
  IID INTEGER PRIMARY KEY AUTOINCREMENT,
  "USER" INTEGER,
  COMMENT TEXT,
  "TIMESTAMP" TEXT
) STRICT;
