// tools/kypath/text_figure.h - text as outline records, for the commands
// that take --text as their figure.
#pragma once

#include <string>

#include "y32Path.h"

namespace kypath {

struct TextFigureSpec {
    std::string text;
    std::string face;  // fontconfig face name, at most LF_FACESIZE - 1 bytes
    int size = 96;     // em height in pixels
    bool bold = false;
    bool italic = false;
    // Turn lone line feeds into CR LF, the line break the text builder reads.
    bool crlf_lines = true;
};

// The outline chain of the text (caller frees it with KyPathDeletePtr), or
// NULL when no font could be made or the text gave no outlines.
KyPath *MakeTextFigure(const TextFigureSpec &spec);

}  // namespace kypath
