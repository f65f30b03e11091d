-- Ferrovane sample schema: the tables of a small trading company, as an
-- Oracle-shaped snapshot. The build loads this file into sample.sqlite.
--
-- Conventions of a snapshot:
--   * four dictionary tables shaped like Oracle's views describe the data tables;
--     their rows are what Oracle's user_* views would show for the same schema;
--   * data-table columns are declared without a type, so SQLite stores values
--     exactly as written: numbers as INTEGER or REAL, or as TEXT holding the exact
--     decimal where a double would lose digits; character, interval and ROWID
--     values as TEXT; DATE and TIMESTAMP values as ISO 8601 TEXT; BLOB, RAW and
--     LONG RAW values as BLOB; Null as NULL;
--   * values are stored as Oracle returns them: CHAR blank-padded to its length in
--     bytes, NCHAR to its length in characters.

PRAGMA foreign_keys = OFF;

CREATE TABLE user_tables (table_name TEXT NOT NULL PRIMARY KEY);
CREATE TABLE user_tab_columns (
    table_name TEXT NOT NULL,
    column_name TEXT NOT NULL,
    data_type TEXT NOT NULL,
    data_length INTEGER NOT NULL,
    data_precision INTEGER,
    data_scale INTEGER,
    nullable TEXT NOT NULL,
    column_id INTEGER NOT NULL,
    PRIMARY KEY (table_name, column_name)
);
CREATE TABLE user_indexes (
    index_name TEXT NOT NULL PRIMARY KEY,
    table_name TEXT NOT NULL,
    uniqueness TEXT NOT NULL
);
CREATE TABLE user_ind_columns (
    index_name TEXT NOT NULL,
    table_name TEXT NOT NULL,
    column_name TEXT NOT NULL,
    column_position INTEGER NOT NULL,
    PRIMARY KEY (index_name, column_position)
);

--------------------------------------------------------------------------------
-- DEPARTMENTS: a primary key and a unique index on a name.

CREATE TABLE DEPARTMENTS (DEPT_ID, DEPT_NAME, LOCATION);
INSERT INTO DEPARTMENTS VALUES
    (10, 'Administration', 'Lyon'),
    (20, 'Sales', 'Zürich'),
    (30, 'Purchasing', '東京'),
    (40, 'Warehouse', NULL),
    (50, 'Research & Development', 'São Paulo');

INSERT INTO user_tables VALUES ('DEPARTMENTS');
INSERT INTO user_tab_columns VALUES
    ('DEPARTMENTS', 'DEPT_ID',   'NUMBER',    22, 4,    0,    'N', 1),
    ('DEPARTMENTS', 'DEPT_NAME', 'VARCHAR2',  30, NULL, NULL, 'N', 2),
    ('DEPARTMENTS', 'LOCATION',  'NVARCHAR2', 80, NULL, NULL, 'Y', 3);
INSERT INTO user_indexes VALUES
    ('PK_DEPARTMENTS', 'DEPARTMENTS', 'UNIQUE'),
    ('UQ_DEPT_NAME',   'DEPARTMENTS', 'UNIQUE');
INSERT INTO user_ind_columns VALUES
    ('PK_DEPARTMENTS', 'DEPARTMENTS', 'DEPT_ID',   1),
    ('UQ_DEPT_NAME',   'DEPARTMENTS', 'DEPT_NAME', 1);

--------------------------------------------------------------------------------
-- EMPLOYEES: plain, multi-column and expression indexes. The index on
-- UPPER(EMAIL) names the hidden virtual column Oracle makes for it.

CREATE TABLE EMPLOYEES (EMP_ID, FIRST_NAME, LAST_NAME, EMAIL, HIRE_DATE, SALARY,
                        COMMISSION_PCT, MANAGER_ID, DEPT_ID, NOTES);
INSERT INTO EMPLOYEES VALUES
    (100, 'Margaret', 'Holloway', 'mholloway@example.com', '2015-03-02 00:00:00', 9800.00,
     NULL, NULL, 10, 'Founder.'),
    (101, 'José', 'Fernández', 'jfernandez@example.com', '2016-07-18 00:00:00', 6250.50,
     0.15, 100, 20, NULL),
    (102, 'Zoë', 'Åkesson', 'zakesson@example.com', '2017-01-09 00:00:00', 5400.75,
     0.1, 101, 20, 'Speaks Swedish, Norwegian and Danish.'),
    (103, '伟', '王', 'wang.wei@example.com', '2018-11-30 00:00:00', 7100.00,
     NULL, 100, 30, '東京事務所の責任者。'),
    (104, 'Kenji', 'Sato', 'ksato@example.com', '2019-05-14 08:30:00', 4300.25,
     NULL, 103, 30, NULL),
    (105, NULL, 'Okafor', NULL, '2020-02-29 00:00:00', NULL,
     NULL, 100, 40, NULL),
    (106, 'Chloé', 'Dubois', 'cdubois@example.com', '2021-09-01 00:00:00', 5100.00,
     0.05, 101, 20, printf('%.251c', 'n')),
    (107, 'Ingrid', 'Bergström', 'ibergstrom@example.com', '2022-04-04 00:00:00', 6900.00,
     NULL, 100, 50, NULL),
    (108, 'Tomás', 'Novák', 'tnovak@example.com', '2024-09-02 00:00:00', 3900.00,
     NULL, 100, NULL, 'Joins a department after training.');

INSERT INTO user_tables VALUES ('EMPLOYEES');
INSERT INTO user_tab_columns VALUES
    ('EMPLOYEES', 'EMP_ID',         'NUMBER',   22,  6,    0,    'N', 1),
    ('EMPLOYEES', 'FIRST_NAME',     'VARCHAR2', 20,  NULL, NULL, 'Y', 2),
    ('EMPLOYEES', 'LAST_NAME',      'VARCHAR2', 25,  NULL, NULL, 'N', 3),
    ('EMPLOYEES', 'EMAIL',          'VARCHAR2', 250, NULL, NULL, 'Y', 4),
    ('EMPLOYEES', 'HIRE_DATE',      'DATE',     7,   NULL, NULL, 'N', 5),
    ('EMPLOYEES', 'SALARY',         'NUMBER',   22,  8,    2,    'Y', 6),
    ('EMPLOYEES', 'COMMISSION_PCT', 'NUMBER',   22,  2,    2,    'Y', 7),
    ('EMPLOYEES', 'MANAGER_ID',     'NUMBER',   22,  6,    0,    'Y', 8),
    ('EMPLOYEES', 'DEPT_ID',        'NUMBER',   22,  4,    0,    'Y', 9),
    ('EMPLOYEES', 'NOTES',          'VARCHAR2', 251, NULL, NULL, 'Y', 10);
INSERT INTO user_indexes VALUES
    ('PK_EMPLOYEES',         'EMPLOYEES', 'UNIQUE'),
    ('IX_EMP_NAME',          'EMPLOYEES', 'NONUNIQUE'),
    ('IX_EMP_DEPT',          'EMPLOYEES', 'NONUNIQUE'),
    ('IX_EMP_DEPT_MGR_HIRE', 'EMPLOYEES', 'NONUNIQUE'),
    ('IX_EMP_EMAIL_UPPER',   'EMPLOYEES', 'NONUNIQUE');
INSERT INTO user_ind_columns VALUES
    ('PK_EMPLOYEES',         'EMPLOYEES', 'EMP_ID',       1),
    ('IX_EMP_NAME',          'EMPLOYEES', 'LAST_NAME',    1),
    ('IX_EMP_NAME',          'EMPLOYEES', 'FIRST_NAME',   2),
    ('IX_EMP_DEPT',          'EMPLOYEES', 'DEPT_ID',      1),
    ('IX_EMP_DEPT_MGR_HIRE', 'EMPLOYEES', 'HIRE_DATE',    3),
    ('IX_EMP_DEPT_MGR_HIRE', 'EMPLOYEES', 'DEPT_ID',      1),
    ('IX_EMP_DEPT_MGR_HIRE', 'EMPLOYEES', 'MANAGER_ID',   2),
    ('IX_EMP_EMAIL_UPPER',   'EMPLOYEES', 'SYS_NC00011$', 1);

--------------------------------------------------------------------------------
-- NUMBER_SAMPLES: every precision and scale case of NUMBER, FLOAT and the two
-- binary floating-point types. Exact decimals a double cannot hold are TEXT.

CREATE TABLE NUMBER_SAMPLES (N_ID, N_PLAIN, N_INT, N_P10, N_15_4, N_16_2, N_10_5, N_5_NEG2,
                             N_20_NEG2, N_FLOAT, N_BDOUBLE, N_BFLOAT);
INSERT INTO NUMBER_SAMPLES VALUES
    (1, 42, 7, 1234567890, 12345678901.2345, '12345678901234.56', 12345.67891, 12300,
     '12345678901234567800', 3.14159, 2.718281828459045, 1.5),
    (2, -0.5, -7, -9999999999, -0.0001, -0.01, 0.00001, -100,
     -100, -0.00001, -0.1, -0.25),
    (3, '12345678901234567890.123456789', 2147483648, 9999999999, 0, '99999999999999.99', 0, 0,
     0, 1e100, 1e-300, 3.4028234663852886e38),
    (4, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
    (5, '9223372036854775808', -9223372036854775808, 1, 0.5, 0.5, 0.5, 99900,
     '-99999999999999999900', 0.1, 'Inf', '-Inf');

INSERT INTO user_tables VALUES ('NUMBER_SAMPLES');
INSERT INTO user_tab_columns VALUES
    ('NUMBER_SAMPLES', 'N_ID',      'NUMBER',        22, 9,    0,    'N', 1),
    ('NUMBER_SAMPLES', 'N_PLAIN',   'NUMBER',        22, NULL, NULL, 'Y', 2),
    ('NUMBER_SAMPLES', 'N_INT',     'NUMBER',        22, NULL, 0,    'Y', 3),
    ('NUMBER_SAMPLES', 'N_P10',     'NUMBER',        22, 10,   0,    'Y', 4),
    ('NUMBER_SAMPLES', 'N_15_4',    'NUMBER',        22, 15,   4,    'Y', 5),
    ('NUMBER_SAMPLES', 'N_16_2',    'NUMBER',        22, 16,   2,    'Y', 6),
    ('NUMBER_SAMPLES', 'N_10_5',    'NUMBER',        22, 10,   5,    'Y', 7),
    ('NUMBER_SAMPLES', 'N_5_NEG2',  'NUMBER',        22, 5,    -2,   'Y', 8),
    ('NUMBER_SAMPLES', 'N_20_NEG2', 'NUMBER',        22, 20,   -2,   'Y', 9),
    ('NUMBER_SAMPLES', 'N_FLOAT',   'FLOAT',         22, 126,  NULL, 'Y', 10),
    ('NUMBER_SAMPLES', 'N_BDOUBLE', 'BINARY_DOUBLE', 8,  NULL, NULL, 'Y', 11),
    ('NUMBER_SAMPLES', 'N_BFLOAT',  'BINARY_FLOAT',  4,  NULL, NULL, 'Y', 12);
INSERT INTO user_indexes VALUES ('PK_NUMBER_SAMPLES', 'NUMBER_SAMPLES', 'UNIQUE');
INSERT INTO user_ind_columns VALUES ('PK_NUMBER_SAMPLES', 'NUMBER_SAMPLES', 'N_ID', 1);

--------------------------------------------------------------------------------
-- TEXT_SAMPLES: character types on both sides of the 250-byte line, and the
-- character large objects. NVARCHAR2 lengths are bytes of AL16UTF16 (two per
-- character), so 250 and 252 stand either side of the line there.

CREATE TABLE TEXT_SAMPLES (T_ID, T_VC250, T_VC251, T_NVC250, T_NVC252, T_CHAR250, T_CHAR251,
                           T_NCHAR, T_CLOB, T_NCLOB);
INSERT INTO TEXT_SAMPLES VALUES
    (1, 'Plain ASCII text', printf('%.251c', 'x'), 'National text', 'More national text',
     printf('%-250s', 'Fixed width'), printf('%-251s', 'Fixed width'), printf('%-10s', 'AB-12'),
     'A short character large object.', 'A short national one.'),
    (2, 'Café crème, naïve façade', 'Ελληνικά και Русский', '中文字符测试', '日本語のテキスト',
     printf('%-250s', 'Crème brûlée'), printf('%-251s', '漢字'), printf('%!-10s', 'Größe'),
     'Ünïcödé in a CLOB: 你好，世界', 'NCLOB 한국어 텍스트'),
    (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
    (4, 'Large objects', NULL, NULL, NULL, NULL, NULL, NULL,
     replace(hex(zeroblob(60000)), '00', 'ab') || 'END', replace(hex(zeroblob(50000)), '00', 'é')),
    (5, 'Empty large objects', NULL, NULL, NULL, NULL, NULL, NULL, '', '');

INSERT INTO user_tables VALUES ('TEXT_SAMPLES');
INSERT INTO user_tab_columns VALUES
    ('TEXT_SAMPLES', 'T_ID',      'NUMBER',    22,   4,    0,    'N', 1),
    ('TEXT_SAMPLES', 'T_VC250',   'VARCHAR2',  250,  NULL, NULL, 'Y', 2),
    ('TEXT_SAMPLES', 'T_VC251',   'VARCHAR2',  251,  NULL, NULL, 'Y', 3),
    ('TEXT_SAMPLES', 'T_NVC250',  'NVARCHAR2', 250,  NULL, NULL, 'Y', 4),
    ('TEXT_SAMPLES', 'T_NVC252',  'NVARCHAR2', 252,  NULL, NULL, 'Y', 5),
    ('TEXT_SAMPLES', 'T_CHAR250', 'CHAR',      250,  NULL, NULL, 'Y', 6),
    ('TEXT_SAMPLES', 'T_CHAR251', 'CHAR',      251,  NULL, NULL, 'Y', 7),
    ('TEXT_SAMPLES', 'T_NCHAR',   'NCHAR',     20,   NULL, NULL, 'Y', 8),
    ('TEXT_SAMPLES', 'T_CLOB',    'CLOB',      4000, NULL, NULL, 'Y', 9),
    ('TEXT_SAMPLES', 'T_NCLOB',   'NCLOB',     4000, NULL, NULL, 'Y', 10);
INSERT INTO user_indexes VALUES ('PK_TEXT_SAMPLES', 'TEXT_SAMPLES', 'UNIQUE');
INSERT INTO user_ind_columns VALUES ('PK_TEXT_SAMPLES', 'TEXT_SAMPLES', 'T_ID', 1);

--------------------------------------------------------------------------------
-- LOB_SAMPLES: BLOBs holding an RTF document, text with byte-order marks and
-- raw binary bytes. The LOB segment's own index has no column rows.

CREATE TABLE LOB_SAMPLES (B_ID, B_KIND, B_DATA);
INSERT INTO LOB_SAMPLES VALUES
    (1, 'rtf', CAST('{\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fswiss Arial;}}' ||
                    '{\colortbl;\red255\green0\blue0;}\f0\fs20 Quarterly report\par ' ||
                    'Sales rose by {\b 12%} in the {\cf1 north}.\par }' AS BLOB)),
    (2, 'utf8-bom', X'EFBBBF4772C3BCC39F652C20E4B896E7958C'),
    (3, 'utf16le-bom', X'FFFE47007200FC00DF0065002C002000164E4C75'),
    (4, 'utf16be-bom', X'FEFF0047007200FC00DF0065002C00204E16754C'),
    (5, 'binary', X'89504E470D0A1A0A0000000D49484452000000010000000108060000001F15C489'),
    (6, 'plain-ansi', CAST('Plain text without a byte-order mark' AS BLOB)),
    (7, 'empty', X''),
    (8, 'null', NULL),
    (9, 'large', CAST(replace(hex(zeroblob(35000)), '00', 'Zq') || 'END' AS BLOB));

INSERT INTO user_tables VALUES ('LOB_SAMPLES');
INSERT INTO user_tab_columns VALUES
    ('LOB_SAMPLES', 'B_ID',   'NUMBER',   22,   4,    0,    'N', 1),
    ('LOB_SAMPLES', 'B_KIND', 'VARCHAR2', 40,   NULL, NULL, 'N', 2),
    ('LOB_SAMPLES', 'B_DATA', 'BLOB',     4000, NULL, NULL, 'Y', 3);
INSERT INTO user_indexes VALUES
    ('PK_LOB_SAMPLES',            'LOB_SAMPLES', 'UNIQUE'),
    ('SYS_IL0000073589C00003$$',  'LOB_SAMPLES', 'UNIQUE');
INSERT INTO user_ind_columns VALUES ('PK_LOB_SAMPLES', 'LOB_SAMPLES', 'B_ID', 1);

--------------------------------------------------------------------------------
-- LEGACY_NOTES and LEGACY_IMAGES: the old LONG types (one per table, as Oracle
-- allows) and RAW.

CREATE TABLE LEGACY_NOTES (NOTE_ID, NOTE_TEXT, NOTE_RAW);
INSERT INTO LEGACY_NOTES VALUES
    (1, 'Delivery notes kept as LONG since 1998.', X'00112233445566778899AABBCCDDEEFF'),
    (2, 'Größere Lieferung — 大口注文', X'DEADBEEF'),
    (3, NULL, NULL),
    (4, replace(hex(zeroblob(40000)), '00', 'LONG'), X'01');

INSERT INTO user_tables VALUES ('LEGACY_NOTES');
INSERT INTO user_tab_columns VALUES
    ('LEGACY_NOTES', 'NOTE_ID',   'NUMBER', 22, 6,    0,    'N', 1),
    ('LEGACY_NOTES', 'NOTE_TEXT', 'LONG',   0,  NULL, NULL, 'Y', 2),
    ('LEGACY_NOTES', 'NOTE_RAW',  'RAW',    16, NULL, NULL, 'Y', 3);

CREATE TABLE LEGACY_IMAGES (IMG_ID, IMG_NAME, IMG_DATA);
INSERT INTO LEGACY_IMAGES VALUES
    (1, 'logo.gif', X'47494638396101000100800000FFFFFF00000021F90401000000002C00000000010001000002024401003B'),
    (2, 'missing', NULL),
    (3, 'big.bin', CAST(replace(hex(zeroblob(25000)), '00', 'Lr') || 'END' AS BLOB));

INSERT INTO user_tables VALUES ('LEGACY_IMAGES');
INSERT INTO user_tab_columns VALUES
    ('LEGACY_IMAGES', 'IMG_ID',   'NUMBER',   22, 6,    0,    'N', 1),
    ('LEGACY_IMAGES', 'IMG_NAME', 'VARCHAR2', 50, NULL, NULL, 'N', 2),
    ('LEGACY_IMAGES', 'IMG_DATA', 'LONG RAW', 0,  NULL, NULL, 'Y', 3);
INSERT INTO user_indexes VALUES ('PK_LEGACY_IMAGES', 'LEGACY_IMAGES', 'UNIQUE');
INSERT INTO user_ind_columns VALUES ('PK_LEGACY_IMAGES', 'LEGACY_IMAGES', 'IMG_ID', 1);

--------------------------------------------------------------------------------
-- EVENT_LOG: dates, timestamps with and without time zones, intervals (as
-- Oracle writes them) and ROWIDs. TIMESTAMP(3) has a precision the type table
-- does not name.

CREATE TABLE EVENT_LOG (EVENT_ID, EVENT_DATE, EVENT_TS, EVENT_TS_TZ, EVENT_TS_LTZ, EVENT_TS3,
                        WARRANTY, DURATION, SOURCE_ROW);
INSERT INTO EVENT_LOG VALUES
    (1, '2024-01-31 23:59:59', '2024-01-31 23:59:59.123456', '2024-01-31 23:59:59.123456+05:30',
     '2024-01-31 18:29:59.123456', '2024-01-31 23:59:59.123', '+02-06', '+01 02:03:04.500000',
     'AAAR3sAAEAAAACXAAA'),
    (2, '1999-12-31 00:00:00', '2000-02-29 12:00:00', '2000-02-29 12:00:00-08:00',
     '2000-02-29 20:00:00', '2000-02-29 12:00:00', '-00-11', '-00 00:00:00.000001',
     'AAAR3sAAEAAAACXAAB'),
    (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
    (4, '2024-03-31 02:30:00', '2024-03-31 02:30:00.000001', '2024-03-31 02:30:00+00:00',
     '2024-03-31 02:30:00', '2024-03-31 02:30:00.999', '+99-11', '+99 23:59:59.999999',
     'AAAR3sAAEAAAACXAAC');

INSERT INTO user_tables VALUES ('EVENT_LOG');
INSERT INTO user_tab_columns VALUES
    ('EVENT_LOG', 'EVENT_ID',     'NUMBER',                            22, 10,   0,    'N', 1),
    ('EVENT_LOG', 'EVENT_DATE',   'DATE',                              7,  NULL, NULL, 'Y', 2),
    ('EVENT_LOG', 'EVENT_TS',     'TIMESTAMP(6)',                      11, NULL, 6,    'Y', 3),
    ('EVENT_LOG', 'EVENT_TS_TZ',  'TIMESTAMP(6) WITH TIME ZONE',       13, NULL, 6,    'Y', 4),
    ('EVENT_LOG', 'EVENT_TS_LTZ', 'TIMESTAMP(6) WITH LOCAL TIME ZONE', 11, NULL, 6,    'Y', 5),
    ('EVENT_LOG', 'EVENT_TS3',    'TIMESTAMP(3)',                      11, NULL, 3,    'Y', 6),
    ('EVENT_LOG', 'WARRANTY',     'INTERVAL YEAR(2) TO MONTH',         5,  2,    0,    'Y', 7),
    ('EVENT_LOG', 'DURATION',     'INTERVAL DAY(2) TO SECOND(6)',      11, 2,    6,    'Y', 8),
    ('EVENT_LOG', 'SOURCE_ROW',   'ROWID',                             10, NULL, NULL, 'Y', 9);
INSERT INTO user_indexes VALUES ('IX_EVENT_LOG_DATE', 'EVENT_LOG', 'NONUNIQUE');
INSERT INTO user_ind_columns VALUES ('IX_EVENT_LOG_DATE', 'EVENT_LOG', 'EVENT_DATE', 1);

--------------------------------------------------------------------------------
-- ORDER_LINES: 12,000 rows (3,000 orders of four lines), enough for several
-- commit batches of the row copy.

CREATE TABLE ORDER_LINES (ORDER_ID, LINE_NO, PRODUCT_CODE, QUANTITY, UNIT_PRICE, ORDERED_AT);
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 11999)
INSERT INTO ORDER_LINES
SELECT 100001 + i / 4,
       1 + i % 4,
       printf('P-%05d', (i * 7919) % 1000),
       1 + (i * 31) % 17,
       (500 + (i * 37) % 99500) / 100.0,
       date('2023-01-01', '+' || (i / 40) || ' days') || printf(' %02d:%02d:00', 8 + i % 10, (i * 13) % 60)
FROM n;

INSERT INTO user_tables VALUES ('ORDER_LINES');
INSERT INTO user_tab_columns VALUES
    ('ORDER_LINES', 'ORDER_ID',     'NUMBER',   22, 10,   0,    'N', 1),
    ('ORDER_LINES', 'LINE_NO',      'NUMBER',   22, 3,    0,    'N', 2),
    ('ORDER_LINES', 'PRODUCT_CODE', 'VARCHAR2', 20, NULL, NULL, 'N', 3),
    ('ORDER_LINES', 'QUANTITY',     'NUMBER',   22, 5,    0,    'N', 4),
    ('ORDER_LINES', 'UNIT_PRICE',   'NUMBER',   22, 9,    2,    'N', 5),
    ('ORDER_LINES', 'ORDERED_AT',   'DATE',     7,  NULL, NULL, 'N', 6);
INSERT INTO user_indexes VALUES
    ('PK_ORDER_LINES',         'ORDER_LINES', 'UNIQUE'),
    ('IX_ORDER_LINES_PRODUCT', 'ORDER_LINES', 'NONUNIQUE');
INSERT INTO user_ind_columns VALUES
    ('PK_ORDER_LINES',         'ORDER_LINES', 'ORDER_ID',     1),
    ('PK_ORDER_LINES',         'ORDER_LINES', 'LINE_NO',      2),
    ('IX_ORDER_LINES_PRODUCT', 'ORDER_LINES', 'PRODUCT_CODE', 1);

--------------------------------------------------------------------------------
-- A table and a column whose names are longer than 60 characters.

CREATE TABLE ARCHIVED_CUSTOMER_CONTACT_PREFERENCES_FOR_REGIONAL_MARKETING_CAMPAIGNS (
    CONTACT_ID, CUSTOMER_PREFERRED_CONTACT_CHANNEL_FOR_SEASONAL_PROMOTIONS_AND_NEWSLETTERS,
    OPTED_IN);
INSERT INTO ARCHIVED_CUSTOMER_CONTACT_PREFERENCES_FOR_REGIONAL_MARKETING_CAMPAIGNS VALUES
    (1, 'email', 'Y'),
    (2, 'post', 'N'),
    (3, NULL, NULL);

INSERT INTO user_tables VALUES ('ARCHIVED_CUSTOMER_CONTACT_PREFERENCES_FOR_REGIONAL_MARKETING_CAMPAIGNS');
INSERT INTO user_tab_columns VALUES
    ('ARCHIVED_CUSTOMER_CONTACT_PREFERENCES_FOR_REGIONAL_MARKETING_CAMPAIGNS', 'CONTACT_ID',
     'NUMBER', 22, 8, 0, 'N', 1),
    ('ARCHIVED_CUSTOMER_CONTACT_PREFERENCES_FOR_REGIONAL_MARKETING_CAMPAIGNS',
     'CUSTOMER_PREFERRED_CONTACT_CHANNEL_FOR_SEASONAL_PROMOTIONS_AND_NEWSLETTERS',
     'VARCHAR2', 40, NULL, NULL, 'Y', 2),
    ('ARCHIVED_CUSTOMER_CONTACT_PREFERENCES_FOR_REGIONAL_MARKETING_CAMPAIGNS', 'OPTED_IN',
     'CHAR', 1, NULL, NULL, 'Y', 3);
INSERT INTO user_indexes VALUES
    ('PK_ARCHIVED_CONTACT_PREFS',
     'ARCHIVED_CUSTOMER_CONTACT_PREFERENCES_FOR_REGIONAL_MARKETING_CAMPAIGNS', 'UNIQUE');
INSERT INTO user_ind_columns VALUES
    ('PK_ARCHIVED_CONTACT_PREFS',
     'ARCHIVED_CUSTOMER_CONTACT_PREFERENCES_FOR_REGIONAL_MARKETING_CAMPAIGNS', 'CONTACT_ID', 1);

--------------------------------------------------------------------------------
-- A mixed-case table name (quoted in Oracle), with mixed-case column names.

CREATE TABLE "MixedCase_Suppliers" ("SupplierId", "SupplierName", COUNTRY_CODE);
INSERT INTO "MixedCase_Suppliers" VALUES
    (1, 'Müller Werkzeuge GmbH', 'DE'),
    (2, '株式会社山田製作所', 'JP'),
    (3, 'Ørsted Components A/S', 'DK'),
    (4, NULL, NULL);

INSERT INTO user_tables VALUES ('MixedCase_Suppliers');
INSERT INTO user_tab_columns VALUES
    ('MixedCase_Suppliers', 'SupplierId',   'NUMBER',    22,  6,    0,    'N', 1),
    ('MixedCase_Suppliers', 'SupplierName', 'NVARCHAR2', 120, NULL, NULL, 'Y', 2),
    ('MixedCase_Suppliers', 'COUNTRY_CODE', 'CHAR',      2,   NULL, NULL, 'Y', 3);
INSERT INTO user_indexes VALUES ('PK_MixedCase_Suppliers', 'MixedCase_Suppliers', 'UNIQUE');
INSERT INTO user_ind_columns VALUES
    ('PK_MixedCase_Suppliers', 'MixedCase_Suppliers', 'SupplierId', 1);

--------------------------------------------------------------------------------
-- EMPTY_ARCHIVE: no rows and no indexes.

CREATE TABLE EMPTY_ARCHIVE (ARCHIVE_ID, ARCHIVED_ON, PAYLOAD);

INSERT INTO user_tables VALUES ('EMPTY_ARCHIVE');
INSERT INTO user_tab_columns VALUES
    ('EMPTY_ARCHIVE', 'ARCHIVE_ID',  'NUMBER', 22,   6,    0,    'N', 1),
    ('EMPTY_ARCHIVE', 'ARCHIVED_ON', 'DATE',   7,    NULL, NULL, 'Y', 2),
    ('EMPTY_ARCHIVE', 'PAYLOAD',     'BLOB',   4000, NULL, NULL, 'Y', 3);

--------------------------------------------------------------------------------
-- Order Details: a name Oracle knows only in quotes (lower case, a blank), with
-- columns named by a blank and by reserved words, each in an index.

CREATE TABLE "Order Details" ("Detail Id", "ORDER", "Unit Price", "DATE");
INSERT INTO "Order Details" VALUES
    (1, 'A-100', 12.5, '2024-01-05 00:00:00'),
    (2, 'A-100', 7.25, '2024-01-06 09:15:00'),
    (3, NULL, NULL, NULL);

INSERT INTO user_tables VALUES ('Order Details');
INSERT INTO user_tab_columns VALUES
    ('Order Details', 'Detail Id',  'NUMBER',   22, 6,    0,    'N', 1),
    ('Order Details', 'ORDER',      'VARCHAR2', 20, NULL, NULL, 'Y', 2),
    ('Order Details', 'Unit Price', 'NUMBER',   22, 9,    2,    'Y', 3),
    ('Order Details', 'DATE',       'DATE',     7,  NULL, NULL, 'Y', 4);
INSERT INTO user_indexes VALUES
    ('PK_ORDER_DETAILS',       'Order Details', 'UNIQUE'),
    ('IX_ORDER_DETAILS_ORDER', 'Order Details', 'NONUNIQUE');
INSERT INTO user_ind_columns VALUES
    ('PK_ORDER_DETAILS',       'Order Details', 'Detail Id', 1),
    ('IX_ORDER_DETAILS_ORDER', 'Order Details', 'ORDER',     1),
    ('IX_ORDER_DETAILS_ORDER', 'Order Details', 'DATE',      2);

--------------------------------------------------------------------------------
-- O'NEILL_ACCOUNTS: a quote in a table name.

CREATE TABLE "O'NEILL_ACCOUNTS" (ACCOUNT_ID, HOLDER);
INSERT INTO "O'NEILL_ACCOUNTS" VALUES
    (1, 'Siobhán O''Neill'),
    (2, NULL);

INSERT INTO user_tables VALUES ('O''NEILL_ACCOUNTS');
INSERT INTO user_tab_columns VALUES
    ('O''NEILL_ACCOUNTS', 'ACCOUNT_ID', 'NUMBER',   22, 6,    0,    'N', 1),
    ('O''NEILL_ACCOUNTS', 'HOLDER',     'VARCHAR2', 60, NULL, NULL, 'Y', 2);
INSERT INTO user_indexes VALUES ('PK_ONEILL_ACCOUNTS', 'O''NEILL_ACCOUNTS', 'UNIQUE');
INSERT INTO user_ind_columns VALUES
    ('PK_ONEILL_ACCOUNTS', 'O''NEILL_ACCOUNTS', 'ACCOUNT_ID', 1);

--------------------------------------------------------------------------------
-- CAMPAIGN_RESPONSES: a column name longer than 60 characters with an index
-- of its own.

CREATE TABLE CAMPAIGN_RESPONSES (RESPONSE_ID,
    RESPONSE_CHANNEL_CHOSEN_BY_THE_CUSTOMER_FOR_THE_SEASONAL_PROMOTIONS_OF_2024);
INSERT INTO CAMPAIGN_RESPONSES VALUES
    (1, 'email'),
    (2, 'phone'),
    (3, NULL);

INSERT INTO user_tables VALUES ('CAMPAIGN_RESPONSES');
INSERT INTO user_tab_columns VALUES
    ('CAMPAIGN_RESPONSES', 'RESPONSE_ID', 'NUMBER', 22, 8, 0, 'N', 1),
    ('CAMPAIGN_RESPONSES',
     'RESPONSE_CHANNEL_CHOSEN_BY_THE_CUSTOMER_FOR_THE_SEASONAL_PROMOTIONS_OF_2024',
     'VARCHAR2', 30, NULL, NULL, 'Y', 2);
INSERT INTO user_indexes VALUES
    ('PK_CAMPAIGN_RESPONSES', 'CAMPAIGN_RESPONSES', 'UNIQUE'),
    ('IX_CAMPAIGN_CHANNEL',   'CAMPAIGN_RESPONSES', 'NONUNIQUE');
INSERT INTO user_ind_columns VALUES
    ('PK_CAMPAIGN_RESPONSES', 'CAMPAIGN_RESPONSES', 'RESPONSE_ID', 1),
    ('IX_CAMPAIGN_CHANNEL', 'CAMPAIGN_RESPONSES',
     'RESPONSE_CHANNEL_CHOSEN_BY_THE_CUSTOMER_FOR_THE_SEASONAL_PROMOTIONS_OF_2024', 1);

--------------------------------------------------------------------------------
-- MEASUREMENTS: NUMBER declared without precision (an Access Integer) holding
-- fractions and values beyond 2^31.

CREATE TABLE MEASUREMENTS (M_ID, M_VALUE);
INSERT INTO MEASUREMENTS VALUES
    (1, 42),
    (2, 1.5),
    (3, 3000000000),
    (4, -2.75),
    (5, NULL);

INSERT INTO user_tables VALUES ('MEASUREMENTS');
INSERT INTO user_tab_columns VALUES
    ('MEASUREMENTS', 'M_ID',    'NUMBER', 22, 6,    0,    'N', 1),
    ('MEASUREMENTS', 'M_VALUE', 'NUMBER', 22, NULL, NULL, 'Y', 2);
INSERT INTO user_indexes VALUES ('PK_MEASUREMENTS', 'MEASUREMENTS', 'UNIQUE');
INSERT INTO user_ind_columns VALUES ('PK_MEASUREMENTS', 'MEASUREMENTS', 'M_ID', 1);
