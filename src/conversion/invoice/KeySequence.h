#pragma once

// Key-stroke input: some hosts send what a cashier would type on the
// register's keyboard ("3*150H1R": three pieces at 1,50 on department 1) as
// one stream. It is turned into request lines before conversion.

#include <iosfwd>
#include <string>
#include <string_view>

namespace tavor1 {

// Joins the lines of `sourcePath` into one key stream and writes its request
// lines to `targetPath` (replaced). False when the source is missing or
// empty (the target is then left as it was) or the target was not written.
bool convertKeySequenceFile(const std::string& sourcePath, const std::string& targetPath);

// Writes the request lines of `stream` to `target`, each ending with CR LF.
// Keys left pending at the end of the stream write nothing.
void convertKeySequence(std::string_view stream, std::ostream& target);

// Writes the line of a single-key command ("a" OPEN, "K" CLEA, "j" OPNF,
// "J" CLNF, "=" SUBT, "c" REGK, "z" ZKEY, "y" MGRK, "x" XKEY); false, with
// nothing written, for any other key. Keys are case-sensitive.
bool keyCommand(std::string_view key, std::ostream& target);

// The file a "READ" request line names in its ",:" value: DataReceived.txt
// in the data directory when there is none; a bare name is taken in the data
// directory; a name without extension gets the channel's ".00n". Double
// quotes around the value are removed first.
std::string readFilePath(std::string_view line, const std::string& dataDir, int channel);

} // namespace tavor1
