// tools/kypath/figure_io.h - what every kypath command shares: where its
// figure comes from, where its results go, and how it fails.
//
// A figure is SVG path data (or a file holding it), a text set in a font
// (--text with --font, --size, --style), or a flat path file (--in) that
// --flat wrote earlier. Results go to a PNG (-o), to SVG path data (--svg)
// and to the library's flat form (--flat). Every failure is one ToolError
// line; main prints it as "kypath <cmd>: <what>" and exits with 2.
#pragma once

#include <CLI/CLI.hpp>
#include <signal.h>

#include <stdexcept>
#include <string>

#include "y32Path.h"

namespace kypath {

// A failure the user can act on: one line, exit code 2.
struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The user pressed Ctrl-C during a long build: exit code 130.
struct Interrupted : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Owns a chain of records (frees it with KyPathDeletePtr).
class PathChain {
  public:
    PathChain() = default;
    explicit PathChain(KyPath *p) : head_(p) {}
    PathChain(const PathChain &) = delete;
    PathChain &operator=(const PathChain &) = delete;
    ~PathChain() { Reset(nullptr); }
    KyPath *get() const { return head_; }
    KyPath **holder() { return &head_; }
    void Reset(KyPath *p) {
        if (head_) KyPathDeletePtr(head_, 0);
        head_ = p;
    }
    KyPath *Release() {
        KyPath *p = head_;
        head_ = nullptr;
        return p;
    }

  private:
    KyPath *head_ = nullptr;
};

struct FigureInput {
    std::string path;  // SVG path data, @file, or a file of path data / SVG / flat form
    std::string text;  // --text
    std::string font = "DejaVu Sans";
    int size = 96;
    std::string style = "regular";   // regular, bold, italic, bold-italic
    std::string in;                  // --in: a flat path file
    bool crlf_lines = true;          // a line feed in --text starts a new line
    std::string path_name = "path";  // how messages name the path data
};

// How the figure's path data is given: as the command's first argument,
// or as --path (for commands whose arguments name other things).
enum class PathArgument { kPositional, kOption, kNone };

// Adds the figure options.
void AddFigureOptions(CLI::App *cmd, FigureInput *in, PathArgument where, int default_size);

// Adds --font, --size and --style alone (for commands whose text is their
// argument).
void AddFontOptions(CLI::App *cmd, FigureInput *in, int default_size);

// The figure as a new chain (caller owns). Exactly one source must be
// given; a face that is not installed, path data that does not parse and a
// file that is not a flat path block are ToolErrors.
KyPath *LoadFigure(const FigureInput &in);

// True when fontconfig knows a family of that name.
bool FaceInstalled(const std::string &face);

// Text outlines of `text` in the face, size and style of `in` (the face is
// checked first).
KyPath *TextOutlines(const std::string &text, const FigureInput &in);

struct FigureOutput {
    std::string png;
    std::string svg;
    std::string flat;
};

// -o (with the default name shown), --svg and --flat.
void AddFigureOutputs(CLI::App *cmd, FigureOutput *out, const std::string &default_png);

// SVG path data of every record along `next`: M, L, C and Z, each 16.16
// value as its exact decimal, so the path data reads back to the same
// points.
std::string SvgPathData(KyPath *head);

// An SVG document holding the outlines as one path.
void WriteSvgFile(const std::string &file, KyPath *head);

// The chain's table list in the library's flat form.
void WriteFlatFile(const std::string &file, KyPath *head);

// Reads a file --flat wrote.
KyPath *ReadFlatFile(const std::string &file);

// Writes --svg and --flat when they were asked for (after the PNG); when
// one cannot be written, the files already written are removed.
void WriteVectorOutputs(const FigureOutput &out, KyPath *head);

// While alive, Ctrl-C asks the library's long builds to stop (through the
// Esc hook) instead of killing the program, and with `show` set the
// builds' progress goes to stderr as "<label> NN%".
class LongBuild {
  public:
    LongBuild(const std::string &label, bool show);
    ~LongBuild();
    LongBuild(const LongBuild &) = delete;
    LongBuild &operator=(const LongBuild &) = delete;
    ReliefProgress *progress() { return &progress_; }
    // Throws Interrupted when Ctrl-C was pressed.
    void CheckInterrupted();

  private:
    static int32_t Callback(int32_t code, int32_t percent, int32_t reserved, intptr_t user);
    std::string label_;
    bool show_;
    int32_t shown_ = -1;
    ReliefProgress progress_{};
    struct sigaction old_ {};
};

// Whether progress should be shown: stderr is a terminal and not quiet.
bool ShowProgress(bool quiet);

}  // namespace kypath
