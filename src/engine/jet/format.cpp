#include "engine/jet/format.h"

namespace qv::jet {

const char* VersionName(JetVersion v) {
  switch (v) {
    case JetVersion::Jet3: return "JET3";
    case JetVersion::Jet4: return "JET4";
    case JetVersion::Ace12: return "ACE12";
    case JetVersion::Ace14: return "ACE14";
    case JetVersion::Ace15: return "ACE15";
    case JetVersion::Ace16: return "ACE16";
    case JetVersion::Ace17: return "ACE17";
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
  return l;
}

}  // namespace qv::jet
