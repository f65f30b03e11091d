#include "jet/file/format.h"

namespace jet {

namespace {

// Both records, filled side by side: each fact with its Jet 3 and its Jet 4
// value on one line.
struct Formats {
    Format jet3{};
    Format jet4{};

    template <class T, class A, class B>
    void set(T Format::*field, A three, B four) {
        jet3.*field = static_cast<T>(three);
        jet4.*field = static_cast<T>(four);
    }
};

// Page 0.
void header(Formats& f) {
    f.set(&Format::version, Version::Jet3, Version::Jet4);
    f.set(&Format::pageSize, 2048, 4096);
    f.set(&Format::maxPages, (1u << 30) / 2048, (1u << 31) / 4096);
    f.set(&Format::maxSizeText, "1 GB", "2 GB");
    f.set(&Format::name, "Jet 3", "Jet 4");
    f.set(&Format::headerVersion, 0, 1);
    f.set(&Format::headerMaskLength, 126, 128);
    f.set(&Format::headerSortOrder, 0x3A, 0x6E);
    f.set(&Format::headerSortVersion, 0x38, 0);
    f.set(&Format::headerPasswordLength, 20, 40);
    f.set(&Format::headerDatedPassword, false, true);
    f.set(&Format::headerStamp, 0x66, 0x6A);
    f.set(&Format::headerStampValue, 0x251E, 0x261C);
    f.set(&Format::headerCreationDate, 0, 0x72);
    f.set(&Format::headerEngineVersion, false, true);
}

// Data pages.
void dataPages(Formats& f) {
    f.set(&Format::dataFreeSpace, 2, 2);
    f.set(&Format::dataOwner, 4, 4);
    f.set(&Format::dataRowCount, 8, 12);
    f.set(&Format::dataRowTable, 10, 14);
    f.set(&Format::maxRowSize, 2012, 4060);
    f.set(&Format::lvalRowRoom, 2048 - 10 - 2 - 4, 4096 - 14 - 2 - 4);
}

// Rows.
void rows(Formats& f) {
    f.set(&Format::rowColumnCountSize, 1, 2);
    f.set(&Format::rowVarOffsetSize, 1, 2);
    f.set(&Format::rowJumpTable, true, false);
}

// Table definitions: the table block.
void tableDefinitions(Formats& f) {
    f.set(&Format::tdefPageFreeSpace, false, true);
    f.set(&Format::tdefNextPage, 4, 4);
    f.set(&Format::tdefLength, 8, 8);
    f.set(&Format::tdefMagic, 0, 12);
    f.set(&Format::tdefUnknown, 0, 24);
    f.set(&Format::tdefRowCount, 12, 16);
    f.set(&Format::tdefAutoNumber, 16, 20);
    f.set(&Format::tdefTableType, 20, 40);
    f.set(&Format::tdefMaxColumns, 21, 41);
    f.set(&Format::tdefVarColumns, 23, 43);
    f.set(&Format::tdefColumnCount, 25, 45);
    f.set(&Format::tdefLogicalIndexCount, 27, 47);
    f.set(&Format::tdefPhysicalIndexCount, 31, 51);
    f.set(&Format::tdefOwnedPagesMap, 35, 55);
    f.set(&Format::tdefFreeSpaceMap, 39, 59);
    f.set(&Format::tdefBlockEnd, 43, 63);
    f.set(&Format::indexRowCountEntrySize, 8, 12);
    f.set(&Format::indexRowCountOffset, 4, 4);
}

// Column descriptors and text.
void columns(Formats& f) {
    f.set(&Format::entryMagic, false, true);
    f.set(&Format::columnEntrySize, 18, 25);
    f.set(&Format::columnNumber, 1, 5);
    f.set(&Format::columnVarIndex, 3, 7);
    f.set(&Format::columnNumberCopy, 5, 9);
    f.set(&Format::columnNumberBase, 0, 1);
    f.set(&Format::columnAlwaysOne, 7, 0);
    f.set(&Format::columnSortOrder, 9, 11);
    f.set(&Format::columnCodePage, 11, 0);
    f.set(&Format::columnPrecision, 11, 11);
    f.set(&Format::columnScale, 12, 12);
    f.set(&Format::columnFlags, 13, 15);
    f.set(&Format::columnExtraFlags, 0, 16);
    f.set(&Format::columnFixedOffset, 14, 21);
    f.set(&Format::columnLength, 16, 23);
    f.set(&Format::nameLengthSize, 1, 2);
    f.set(&Format::unicodeNames, false, true);
    f.set(&Format::unicodeText, false, true);
    f.set(&Format::textUnitSize, 1, 2);
    f.set(&Format::textCodePage, 1252, 0);
    f.set(&Format::compressedText, 0, 0x01);
    f.set(&Format::decimalColumns, false, true);
    f.set(&Format::memoIndexes, false, true);
    f.set(&Format::textKeys2000, false, true);
}

// Physical index entries.
void physicalIndexes(Formats& f) {
    f.set(&Format::physicalIndexEntrySize, 39, 52);
    f.set(&Format::physicalIndexColumns, 0, 4);
    f.set(&Format::physicalIndexUsageMap, 30, 34);
    f.set(&Format::physicalIndexRootPage, 34, 38);
    f.set(&Format::physicalIndexFlags, 38, 46);
    f.set(&Format::physicalIndexAlways, 0, 0x80);
}

// Logical index entries.
void logicalIndexes(Formats& f) {
    f.set(&Format::logicalIndexEntrySize, 20, 28);
    f.set(&Format::logicalIndexNumber, 0, 4);
    f.set(&Format::logicalIndexPhysical, 4, 8);
    f.set(&Format::logicalIndexRelTableType, 8, 12);
    f.set(&Format::logicalIndexRelIndex, 9, 13);
    f.set(&Format::logicalIndexRelTablePage, 13, 17);
    f.set(&Format::logicalIndexCascadeUpd, 17, 21);
    f.set(&Format::logicalIndexCascadeDel, 18, 22);
    f.set(&Format::logicalIndexType, 19, 23);
}

// Usage maps.
void usageMaps(Formats& f) {
    f.set(&Format::inlineMapBytes, 128, 64);
    f.set(&Format::mapPageHeader, 4, 4);
}

// Index pages.
void indexPages(Formats& f) {
    f.set(&Format::indexPrevPage, 8, 12);
    f.set(&Format::indexNextPage, 12, 16);
    f.set(&Format::indexTailPage, 16, 20);
    f.set(&Format::indexPrefixLength, 20, 24);
    f.set(&Format::indexPrefixWidth, 1, 2);
    f.set(&Format::indexNodeFlag, 21, 26);
    f.set(&Format::indexBitmap, 0x16, 0x1B);
    f.set(&Format::indexBitmapSize, 226, 453);
    f.set(&Format::indexEntriesStart, 0xF8, 0x1E0);
}

// The catalog of a new file.
void newCatalog(Formats& f) {
    f.set(&Format::queriesLvExtra, false, true);
    f.set(&Format::systemColumnsByName, false, true);
    f.set(&Format::databaseOwner, Bytes{}, Bytes{0x64, 0x8B});
    f.set(&Format::objectOwner, Bytes{}, Bytes{0x65, 0x89});
    f.set(&Format::aceOwner, Bytes{0x03, 0x01}, Bytes{0x64, 0x8B});
    f.set(&Format::aceUsers, Bytes{0x02, 0x04}, Bytes{0x65, 0x8E});
    f.set(&Format::aceAdmins, Bytes{0x02, 0x01}, Bytes{0x65, 0x8B});
    f.set(&Format::tablesOwnerRights, 1048319, 393217);
    f.set(&Format::tablesOwnerInherits, true, false);
}

// Limits.
void limits(Formats& f) {
    f.set(&Format::maxColumns, 255, 255);
    f.set(&Format::maxIndexes, 32, 32);
    f.set(&Format::maxNameLength, 64, 64);
    f.set(&Format::maxTextLength, 255, 255);
}

const Formats& formats() {
    static const Formats all = [] {
        Formats both;
        header(both);
        dataPages(both);
        rows(both);
        tableDefinitions(both);
        columns(both);
        physicalIndexes(both);
        logicalIndexes(both);
        usageMaps(both);
        indexPages(both);
        newCatalog(both);
        limits(both);
        return both;
    }();
    return all;
}

}  // namespace

const Format& Format::jet3() { return formats().jet3; }

const Format& Format::jet4() { return formats().jet4; }

const Format& Format::of(Version version) { return version == Version::Jet3 ? jet3() : jet4(); }

const Format& Format::ofHeaderVersion(std::uint8_t byte) {
    return byte == jet3().headerVersion ? jet3() : jet4();
}

bool isIndexable(ColumnType type, Version version) {
    return type == ColumnType::Memo ? Format::of(version).memoIndexes : !isLongValue(type);
}

}  // namespace jet
