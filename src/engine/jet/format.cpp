#include "engine/jet/format.h"

namespace qv::jet {

const char* VersionName(JetVersion v) {
  switch (v) {
    case JetVersion::Jet3:
      return "JET3";
    case JetVersion::Jet4:
      return "JET4";
    case JetVersion::Ace12:
      return "ACE12";
    case JetVersion::Ace14:
      return "ACE14";
    case JetVersion::Ace15:
      return "ACE15";
    case JetVersion::Ace16:
      return "ACE16";
    case JetVersion::Ace17:
      return "ACE17";
  }
  return "unknown";
}

Layout Layout::For(JetVersion v) {
  Layout l;  // the defaults describe Jet4 and every ACE version
  l.version = v;
  if (v != JetVersion::Jet3) return l;
  l.jet3 = true;
  l.pageSize = 2048;
  l.headerMaskLength = 126;
  l.passwordLength = 20;
  l.hasCreationDate = false;
  l.dataRowCountOffset = 8;
  l.tdefRowCount = 12;
  l.tdefAutoNumber = 16;
  l.tdefTableType = 20;
  l.tdefMaxColumns = 21;
  l.tdefVarColumns = 23;
  l.tdefColumns = 25;
  l.tdefLogicalIndexes = 27;
  l.tdefRealIndexes = 31;
  l.tdefUsedPages = 35;
  l.tdefFreePages = 39;
  l.tdefRealIndexStart = 43;
  l.realIndexEntrySize = 8;
  l.columnEntrySize = 18;
  l.colType = 0;
  l.colNumber = 1;
  l.colVarIndex = 3;
  l.colPrecision = 11;
  l.colScale = 12;
  l.colSortOrder = 9;
  l.colCodePage = 11;
  l.colFlags = 13;
  l.colExtFlags = 0;
  l.colFixedOffset = 14;
  l.colLength = 16;
  l.nameLengthSize = 1;
  l.indexColumnBlockSize = 39;
  l.indexColumnBlockLead = 0;
  l.logicalIndexEntrySize = 20;
  l.logicalIndexLead = 0;
  l.rowColumnCountSize = 1;
  l.tdefColumnStart = 0x2b;
  l.inlineMapBytes = 128;
  l.indexPreviousAt = 0x08;
  l.indexNextAt = 0x0c;
  l.indexTailAt = 0x10;
  l.indexPrefixAt = 0x14;
  l.indexPrefixSize = 1;
  l.indexNodeFlagAt = 0x15;
  l.indexBitmapStart = 0x16;
  l.indexEntriesStart = 0xf8;
  return l;
}

const Layout& Layout::ForPageSize(std::size_t pageSize) {
  static const Layout jet3 = For(JetVersion::Jet3);
  static const Layout jet4 = For(JetVersion::Jet4);
  return pageSize == jet3.pageSize ? jet3 : jet4;
}

}  // namespace qv::jet
