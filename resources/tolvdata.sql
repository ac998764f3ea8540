-- The delivered hotkey settings: one record in each table, fields by position in the
-- order shutdown, restart, log off, hibernate, stand by. Every hotkey starts disabled:
-- a forced shutdown bound to a key nobody chose would be a hazard.
CREATE TABLE ky (shutdown TEXT, restart TEXT, logoff TEXT, hibernate TEXT, standby TEXT);
INSERT INTO ky VALUES ('S', 'R', 'L', 'H', 'B');
CREATE TABLE en (shutdown INTEGER, restart INTEGER, logoff INTEGER, hibernate INTEGER, standby INTEGER);
INSERT INTO en VALUES (0, 0, 0, 0, 0);
