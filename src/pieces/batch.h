// Join batch files for the command prompt: NAME.cpy.bat joins the pieces
// with COPY /B, NAME.dvr.bat runs this program on the first piece.
#pragma once

#include <string>

namespace pieces {

// In batch mode: the pieces there, refused when one lies beyond a gap.
bool WriteCopyBatch();
bool WriteSelfBatch();
// After a division: exactly the `divisionCount` pieces it wrote.
bool WriteCopyBatch(int divisionCount);
bool WriteSelfBatch(int divisionCount);

// A file name as it stands in a batch file: enclosed in double quotes when
// it holds a blank or a character the command processor treats specially,
// with every % doubled. Other names stay byte for byte.
std::string QuoteForBatch(const char* name);

}  // namespace pieces
