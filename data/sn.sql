-- SN.db as shipped: no camera serial numbers recorded yet.
CREATE TABLE sysparam (name TEXT, value TEXT);
INSERT INTO sysparam VALUES('serialNB0', '0');
INSERT INTO sysparam VALUES('serialNB1', '0');
INSERT INTO sysparam VALUES('serialNB2', '0');
INSERT INTO sysparam VALUES('serialNB3', '0');
INSERT INTO sysparam VALUES('serialNB4', '0');
INSERT INTO sysparam VALUES('serialNB5', '0');
INSERT INTO sysparam VALUES('serialNB6', '0');
INSERT INTO sysparam VALUES('serialNB7', '0');
