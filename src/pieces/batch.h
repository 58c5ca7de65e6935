// Join batch files for the command prompt: NAME.cpy.bat joins the pieces
// with COPY /B, NAME.dvr.bat runs this program on the first piece.
#pragma once

#include <string>

namespace pieces {

bool WriteCopyBatch();
bool WriteSelfBatch();

// A file name as it stands in a batch file: enclosed in double quotes when
// it holds a blank or a character the command processor treats specially,
// with every % doubled. Other names stay byte for byte.
std::string QuoteForBatch(const char* name);

}  // namespace pieces
