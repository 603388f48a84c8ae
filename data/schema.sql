-- The Quillby store: four tables. Text widths count characters; a value longer than its column
-- is refused by the named CHECK constraint "<table>.<column> width". IIDs are never reused.
-- SQLite's length() stops counting at a NUL, so a value holding one is measured in bytes of the
-- whole value instead (never fewer than its characters).
--
-- LOGINKEY and FULLNAMEKEY hold LOGIN and FULLNAME with the case of every letter folded (not
-- only ASCII), written by the program with every row. Sign-in looks logins up through their
-- index, and the file stays readable and writable by the plain sqlite3 tool, which knows
-- nothing of the program's folding.

CREATE TABLE Users (
  IID INTEGER PRIMARY KEY AUTOINCREMENT,
  FULLNAME TEXT CONSTRAINT "Users.FULLNAME width"
    CHECK (length(FULLNAME) <= 50 AND (instr(CAST(FULLNAME AS BLOB), x'00') = 0 OR length(CAST(FULLNAME AS BLOB)) <= 50)),
  LOGIN TEXT CONSTRAINT "Users.LOGIN width"
    CHECK (length(LOGIN) <= 15 AND (instr(CAST(LOGIN AS BLOB), x'00') = 0 OR length(CAST(LOGIN AS BLOB)) <= 15)),
  PASSWORD TEXT CONSTRAINT "Users.PASSWORD width"
    CHECK (length(PASSWORD) <= 32 AND (instr(CAST(PASSWORD AS BLOB), x'00') = 0 OR length(CAST(PASSWORD AS BLOB)) <= 32)),
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
  FULLNAME TEXT CONSTRAINT "Counselling.FULLNAME width"
    CHECK (length(FULLNAME) <= 50 AND (instr(CAST(FULLNAME AS BLOB), x'00') = 0 OR length(CAST(FULLNAME AS BLOB)) <= 50)),
  EMAIL TEXT CONSTRAINT "Counselling.EMAIL width"
    CHECK (length(EMAIL) <= 50 AND (instr(CAST(EMAIL AS BLOB), x'00') = 0 OR length(CAST(EMAIL AS BLOB)) <= 50)),
  STREETADDRESS TEXT,
  ZIPCODE TEXT CONSTRAINT "Counselling.ZIPCODE width"
    CHECK (length(ZIPCODE) <= 7 AND (instr(CAST(ZIPCODE AS BLOB), x'00') = 0 OR length(CAST(ZIPCODE AS BLOB)) <= 7)),
  BESTPHONE TEXT CONSTRAINT "Counselling.BESTPHONE width"
    CHECK (length(BESTPHONE) <= 14 AND (instr(CAST(BESTPHONE AS BLOB), x'00') = 0 OR length(CAST(BESTPHONE AS BLOB)) <= 14)),
  BESTTIME TEXT CONSTRAINT "Counselling.BESTTIME width"
    CHECK (length(BESTTIME) <= 50 AND (instr(CAST(BESTTIME AS BLOB), x'00') = 0 OR length(CAST(BESTTIME AS BLOB)) <= 50)),
  DEBTAMOUNT TEXT CONSTRAINT "Counselling.DEBTAMOUNT width"
    CHECK (length(DEBTAMOUNT) <= 25 AND (instr(CAST(DEBTAMOUNT AS BLOB), x'00') = 0 OR length(CAST(DEBTAMOUNT AS BLOB)) <= 25)),
  IID INTEGER PRIMARY KEY AUTOINCREMENT
) STRICT;

CREATE TABLE HelpImprove (
  IID INTEGER PRIMARY KEY AUTOINCREMENT,
  "USER" INTEGER,
  COMMENT TEXT,
  "TIMESTAMP" TEXT
) STRICT;
