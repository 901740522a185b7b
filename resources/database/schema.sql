-- The local database of the main program: data/data.db in the program folder.
-- Date-times are TEXT in ISO-8601 local time, "yyyy-MM-ddTHH:mm:ss.zzz", so
-- that they sort in time order; an empty (NULL) date-time means "never".

CREATE TABLE userinfo (
    username       TEXT,
    userpass       TEXT,
    firstusetime   TEXT,
    lastlongintime TEXT
);

CREATE TABLE transferrecord (
    id         INTEGER PRIMARY KEY AUTOINCREMENT,
    name       TEXT,
    wordcount  INTEGER,
    movecount  INTEGER,
    accuracy   TEXT,
    sentence   TEXT,
    endtime    TEXT,
    costtime   INTEGER,
    kejianname TEXT
);

-- mediatype: 1 audio, 2 video.
CREATE TABLE mediafileload (
    name      TEXT,
    mediatype INTEGER,
    path      TEXT,
    filename  TEXT
);

-- filetype: 1 audio file, 2 video file, 3 audio courseware, 4 video courseware.
CREATE TABLE recentfilelist (
    id       INTEGER PRIMARY KEY AUTOINCREMENT,
    name     TEXT,
    filetype INTEGER,
    path     TEXT,
    filename TEXT
);

-- mp3file: the sentence's sound as an MP3 clip, NULL when there is none.
CREATE TABLE sentencelist (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    name        TEXT,
    filename    TEXT,
    english     TEXT,
    china       TEXT,
    operatetime TEXT,
    mp3file     BLOB
);

CREATE TABLE singledictaterecord (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    name        TEXT,
    accuracy    TEXT,
    kejianname  TEXT,
    dictatetime TEXT,
    costtime    INTEGER
);

CREATE TABLE studyspeakrecord (
    id             INTEGER PRIMARY KEY AUTOINCREMENT,
    name           TEXT,
    recordtime     TEXT,
    costtime       INTEGER,
    recordfilesize INTEGER,
    content        TEXT
);

-- isdefault: 1 for the plan in use, 0 for the others.
CREATE TABLE AudioCutPlan (
    planname   TEXT,
    noisevalue INTEGER,
    mutevalue  INTEGER,
    minlength  INTEGER,
    breakvalue INTEGER,
    isdefault  INTEGER NOT NULL DEFAULT 0
);

INSERT INTO AudioCutPlan (planname, noisevalue, mutevalue, minlength, breakvalue, isdefault)
VALUES ('默认方案', 2500, 5, 1200, 150, 1);
