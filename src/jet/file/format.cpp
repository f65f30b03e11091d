#include "jet/file/format.h"

namespace jet {

namespace {

Format makeJet3() {
    Format f{};
    f.version = Version::Jet3;
    f.pageSize = 2048;
    f.headerVersion = 0;
    f.headerMaskLength = 126;
    f.headerSortOrder = 0x3A;
    f.headerSortVersion = 0x38;
    f.headerPasswordLength = 20;
    f.headerDatedPassword = false;
    f.headerStamp = 0x66;
    f.headerStampValue = 0x251E;
    f.headerCreationDate = 0;
    f.headerEngineVersion = false;

    f.dataFreeSpace = 2;
    f.dataOwner = 4;
    f.dataRowCount = 8;
    f.dataRowTable = 10;
    f.maxRowSize = 2012;
    f.lvalRowRoom = 2048 - 10 - 2 - 4;

    f.rowColumnCountSize = 1;
    f.rowVarOffsetSize = 1;
    f.rowJumpTable = true;

    f.tdefPageFreeSpace = false;
    f.tdefNextPage = 4;
    f.tdefLength = 8;
    f.tdefMagic = 0;
    f.tdefUnknown = 0;
    f.tdefRowCount = 12;
    f.tdefAutoNumber = 16;
    f.tdefTableType = 20;
    f.tdefMaxColumns = 21;
    f.tdefVarColumns = 23;
    f.tdefColumnCount = 25;
    f.tdefLogicalIndexCount = 27;
    f.tdefPhysicalIndexCount = 31;
    f.tdefOwnedPagesMap = 35;
    f.tdefFreeSpaceMap = 39;
    f.tdefBlockEnd = 43;
    f.indexRowCountEntrySize = 8;
    f.indexRowCountOffset = 4;

    f.entryMagic = false;
    f.columnEntrySize = 18;
    f.columnNumber = 1;
    f.columnVarIndex = 3;
    f.columnNumberCopy = 5;
    f.columnNumberBase = 0;
    f.columnAlwaysOne = 7;
    f.columnSortOrder = 9;
    f.columnCodePage = 11;
    f.columnPrecision = 11;
    f.columnScale = 12;
    f.columnFlags = 13;
    f.columnExtraFlags = 0;
    f.columnFixedOffset = 14;
    f.columnLength = 16;
    f.nameLengthSize = 1;
    f.unicodeNames = false;
    f.unicodeText = false;
    f.textUnitSize = 1;
    f.textCodePage = 1252;
    f.compressedText = 0;
    f.decimalColumns = false;

    f.physicalIndexEntrySize = 39;
    f.physicalIndexColumns = 0;
    f.physicalIndexUsageMap = 30;
    f.physicalIndexRootPage = 34;
    f.physicalIndexFlags = 38;
    f.physicalIndexAlways = 0;

    f.logicalIndexEntrySize = 20;
    f.logicalIndexNumber = 0;
    f.logicalIndexPhysical = 4;
    f.logicalIndexRelTableType = 8;
    f.logicalIndexRelIndex = 9;
    f.logicalIndexRelTablePage = 13;
    f.logicalIndexCascadeUpd = 17;
    f.logicalIndexCascadeDel = 18;
    f.logicalIndexType = 19;

    f.inlineMapBytes = 128;
    f.mapPageHeader = 4;

    f.indexPrevPage = 8;
    f.indexNextPage = 12;
    f.indexTailPage = 16;
    f.indexPrefixLength = 20;
    f.indexPrefixWidth = 1;
    f.indexNodeFlag = 21;
    f.indexBitmap = 0x16;
    f.indexBitmapSize = 226;
    f.indexEntriesStart = 0xF8;

    f.queriesLvExtra = false;
    f.systemColumnsByName = false;
    f.databaseOwner = {};
    f.objectOwner = {};
    f.aceOwner = {0x03, 0x01};
    f.aceUsers = {0x02, 0x04};
    f.aceAdmins = {0x02, 0x01};
    f.tablesOwnerRights = 1048319;
    f.tablesOwnerInherits = true;

    f.maxColumns = 255;
    f.maxIndexes = 32;
    f.maxNameLength = 64;
    f.maxTextLength = 255;
    return f;
}

Format makeJet4() {
    Format f{};
    f.version = Version::Jet4;
    f.pageSize = 4096;
    f.headerVersion = 1;
    f.headerMaskLength = 128;
    f.headerSortOrder = 0x6E;
    f.headerSortVersion = 0;
    f.headerPasswordLength = 40;
    f.headerDatedPassword = true;
    f.headerStamp = 0x6A;
    f.headerStampValue = 0x261C;
    f.headerCreationDate = 0x72;
    f.headerEngineVersion = true;

    f.dataFreeSpace = 2;
    f.dataOwner = 4;
    f.dataRowCount = 12;
    f.dataRowTable = 14;
    f.maxRowSize = 4060;
    f.lvalRowRoom = 4096 - 14 - 2 - 4;

    f.rowColumnCountSize = 2;
    f.rowVarOffsetSize = 2;
    f.rowJumpTable = false;

    f.tdefPageFreeSpace = true;
    f.tdefNextPage = 4;
    f.tdefLength = 8;
    f.tdefMagic = 12;
    f.tdefUnknown = 24;
    f.tdefRowCount = 16;
    f.tdefAutoNumber = 20;
    f.tdefTableType = 40;
    f.tdefMaxColumns = 41;
    f.tdefVarColumns = 43;
    f.tdefColumnCount = 45;
    f.tdefLogicalIndexCount = 47;
    f.tdefPhysicalIndexCount = 51;
    f.tdefOwnedPagesMap = 55;
    f.tdefFreeSpaceMap = 59;
    f.tdefBlockEnd = 63;
    f.indexRowCountEntrySize = 12;
    f.indexRowCountOffset = 4;

    f.entryMagic = true;
    f.columnEntrySize = 25;
    f.columnNumber = 5;
    f.columnVarIndex = 7;
    f.columnNumberCopy = 9;
    f.columnNumberBase = 1;
    f.columnAlwaysOne = 0;
    f.columnSortOrder = 11;
    f.columnCodePage = 0;
    f.columnPrecision = 11;
    f.columnScale = 12;
    f.columnFlags = 15;
    f.columnExtraFlags = 16;
    f.columnFixedOffset = 21;
    f.columnLength = 23;
    f.nameLengthSize = 2;
    f.unicodeNames = true;
    f.unicodeText = true;
    f.textUnitSize = 2;
    f.textCodePage = 0;
    f.compressedText = 0x01;
    f.decimalColumns = true;

    f.physicalIndexEntrySize = 52;
    f.physicalIndexColumns = 4;
    f.physicalIndexUsageMap = 34;
    f.physicalIndexRootPage = 38;
    f.physicalIndexFlags = 46;
    f.physicalIndexAlways = 0x80;

    f.logicalIndexEntrySize = 28;
    f.logicalIndexNumber = 4;
    f.logicalIndexPhysical = 8;
    f.logicalIndexRelTableType = 12;
    f.logicalIndexRelIndex = 13;
    f.logicalIndexRelTablePage = 17;
    f.logicalIndexCascadeUpd = 21;
    f.logicalIndexCascadeDel = 22;
    f.logicalIndexType = 23;

    f.inlineMapBytes = 64;
    f.mapPageHeader = 4;

    f.indexPrevPage = 12;
    f.indexNextPage = 16;
    f.indexTailPage = 20;
    f.indexPrefixLength = 24;
    f.indexPrefixWidth = 2;
    f.indexNodeFlag = 26;
    f.indexBitmap = 0x1B;
    f.indexBitmapSize = 453;
    f.indexEntriesStart = 0x1E0;

    f.queriesLvExtra = true;
    f.systemColumnsByName = true;
    f.databaseOwner = {0x64, 0x8B};
    f.objectOwner = {0x65, 0x89};
    f.aceOwner = {0x64, 0x8B};
    f.aceUsers = {0x65, 0x8E};
    f.aceAdmins = {0x65, 0x8B};
    f.tablesOwnerRights = 393217;
    f.tablesOwnerInherits = false;

    f.maxColumns = 255;
    f.maxIndexes = 32;
    f.maxNameLength = 64;
    f.maxTextLength = 255;
    return f;
}

}  // namespace

const Format& Format::jet3() {
    static const Format f = makeJet3();
    return f;
}

const Format& Format::jet4() {
    static const Format f = makeJet4();
    return f;
}

const Format& Format::of(Version version) { return version == Version::Jet3 ? jet3() : jet4(); }

}  // namespace jet
