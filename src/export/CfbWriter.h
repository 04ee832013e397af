#pragma once

#include <QString>
#include <cstdint>
#include <functional>

namespace vnk::exporting {

class SheetOutputFile;

// Compound file (structured storage, version 3, 512-byte sectors) holding one stream
// in its root storage: the container of a 97-2003 workbook. The stream is written
// straight through by writeStream, which must produce exactly streamSize bytes; the
// sector tables follow it, so nothing of the stream is held. A stream shorter than the
// mini-stream cutoff (4096 bytes) is padded with zeros to it, so that it never needs the
// mini stream.
void writeCompoundFile(SheetOutputFile& out, const QString& streamName, std::int64_t streamSize,
                       const std::function<void(SheetOutputFile&)>& writeStream);

// Size of the compound file for a stream of streamSize bytes.
std::int64_t compoundFileSize(std::int64_t streamSize);

}  // namespace vnk::exporting
