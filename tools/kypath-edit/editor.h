// tools/kypath-edit/editor.h - the editor's host state and event handling,
// shared by the live window and the scripted replay.
//
// The editor owns the document image, one path table, one view and the
// window bitmap. It forwards window events to the library the way a host
// does: the pen, smooth-curve and freehand tools get the raw messages, the
// selection tool turns clicks and drags into hit tests, marquee selection
// and moves, and keys run the edits, the undo journal, zoom, scroll and
// rendering.
//
// The window bitmap is composed in three layers: the document image
// through the view, the path overlay composited with KyPathPaintMem, and
// the device context on which the library draws node squares and rubber
// bands in exclusive-or. That context keeps only what was drawn on it (it
// starts black, and exclusive-or on black keeps the pen colours), and is
// combined with the rest by exclusive-or when the bitmap is composed. The
// picture is the one the library would leave by drawing on the window
// itself, and repainting the image below never disturbs the squares and
// bands the library means to erase later by drawing them again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/kypath-edit/replay.h"
#include "y32Path.h"

namespace kedit {

enum class Tool { kPen, kSmooth, kFreehand, kSelect };

// How the render command shades the selection.
struct RenderSettings {
    double bevel = 10.0;     // bevel width in image pixels
    int shader = 0;          // 0 phong, 1 metallic
    uint8_t colour[3] = {0xC0, 0x70, 0x30};  // blue, green, red
};

// The keyboard help, one key a line.
const char *KeyHelp();

class Editor {
public:
    Editor() = default;
    ~Editor();
    Editor(const Editor &) = delete;
    Editor &operator=(const Editor &) = delete;

    // The document: `bgr` (width x height, three bytes a pixel, blue first)
    // or, when it is empty, a plain canvas of that size. The window client
    // area is client_w x client_h. False with *error on failure.
    bool Open(std::vector<uint8_t> bgr, int32_t width, int32_t height, int32_t client_w, int32_t client_h,
              std::string *error);

    // One window event.
    void Handle(const Event &e);

    // The window bitmap: client_w x client_h, three bytes a pixel (blue,
    // green, red), rows packed.
    const std::vector<uint8_t> &Compose();

    // Set when something the window shows may have changed.
    bool Dirty() const { return dirty_; }
    void ClearDirty() { dirty_ = false; }

    // A line for the window title and the console.
    std::string Status() const;
    // Set when '?' asked for the keyboard help (the caller shows it).
    bool TakeHelpRequest() {
        const bool r = help_requested_;
        help_requested_ = false;
        return r;
    }

    int32_t ClientWidth() const { return cw_; }
    int32_t ClientHeight() const { return ch_; }
    Tool CurrentTool() const { return tool_; }
    PathTable *Table() const { return table_; }
    CoordStruct *View() const { return view_; }
    const std::vector<uint8_t> &Image() const { return image_; }

private:
    void PenEvent(const Event &e, uint32_t message);
    void CurveEvent(const Event &e, uint32_t message);
    void SelectPress(const Event &e);
    void SelectMove(const Event &e);
    void SelectRelease(const Event &e);
    void Key(const Event &e);

    bool Drawing() const;
    void SetTool(Tool t);
    void SetView(double zoom, int32_t sx, int32_t sy);
    void ZoomBy(double factor);
    void Refresh();
    void XorMarquee();
    void DropSelection();

    // Undo journal bookkeeping: records `code` before an action (dropping
    // the redo branch first); false when nothing was recorded.
    bool Record(int32_t code);
    void DropNewestRecord();
    void ClearJournal();
    void Undo();
    void Redo();

    KyPath *First() const;
    KyPath *Selected() const;

    std::vector<uint8_t> image_;  // document, blue-green-red
    int32_t iw_ = 0, ih_ = 0;
    int32_t cw_ = 0, ch_ = 0;
    std::vector<uint8_t> frame_;  // composed window bitmap
    std::vector<uint8_t> xor_;    // the device context's pixels
    int32_t xor_stride_ = 0;
    HDC dc_ = nullptr;
    PathTable *table_ = nullptr;
    CoordStruct *view_ = nullptr;
    double zoom_ = 1.0;
    int32_t sx_ = 0, sy_ = 0;
    uint32_t view_tag_ = 1;

    Tool tool_ = Tool::kPen;
    int32_t pen_kind_ = KYPATH_PEN_CLOSE;
    bool curve_active_ = false;  // a smooth or freehand figure is being made
    uint32_t mods_ = 0;

    // Selection tool drag state.
    enum class Drag { kNone, kMove, kMarquee } drag_ = Drag::kNone;
    int32_t press_x_ = 0, press_y_ = 0;  // where the button went down
    int32_t drag_x_ = 0, drag_y_ = 0;    // where the dragged paths were last moved to
    int32_t last_x_ = 0, last_y_ = 0;    // the latest pointer position (for keys)
    bool moved_ = false;
    int32_t marquee_[4] = {0, 0, 0, 0};
    bool marquee_shown_ = false;

    // The journal of this document: `records_` entries, `done_` of them in
    // the done state.
    static constexpr uint32_t kOwner = 1;
    int32_t records_ = 0, done_ = 0;

    RenderSettings render_;
    bool dirty_ = true;
    bool help_requested_ = false;
    std::string message_;
};

// Shades the selected paths of the table's current group with a bevel and
// lays them onto the document image (blue-green-red, width x height).
// Returns the number of paths rendered; 0 with *error when none could be.
int32_t RenderSelection(PathTable *table, const RenderSettings &settings, std::vector<uint8_t> *image,
                        int32_t width, int32_t height, std::string *error);

}  // namespace kedit
