-- RECORDNULL.db: the empty operation record every day starts from.
CREATE TABLE RECORD (recordtime TEXT, recordpassword TEXT, remarks TEXT);
