// Join batch files for the command prompt: NAME.cpy.bat joins the pieces
// with COPY /B, NAME.dvr.bat runs this program on the first piece.
#pragma once

#include <string>

namespace pieces {

bool WriteCopyBatch();
bool WriteSelfBatch();

// A file name, given as the code page 932 bytes a batch file holds, as it
// stands there: enclosed in double quotes when one of its bytes, read as a
// single-byte code page reads it, is a blank or a character the command
// processor treats specially, with every % doubled. Other names stay byte
// for byte.
std::string QuoteForBatch(const char* name);

}  // namespace pieces
