#pragma once
// The built language module and what the tests read out of it: dialog templates decoded into
// their controls, strings, and raw resource bytes.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace langmod {

// Loads ko-KR.dll from the build's bin folder the way Norvane does (as a data file, so that none
// of its code could run) and frees it at the end.
class Module {
public:
    Module();
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    HMODULE handle() const { return handle_; }
    bool loaded() const { return handle_ != nullptr; }

private:
    HMODULE handle_ = nullptr;
};

struct DialogControl {
    int id = 0;
    std::string window_class;  // "Button", "Static", "RichEdit20A", ...
    DWORD style = 0;
    DWORD ex_style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    std::string text;
};

struct DialogTemplate {
    bool extended = false;
    DWORD style = 0;
    DWORD ex_style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string font_face;
    int point_size = 0;
    std::vector<DialogControl> controls;

    const DialogControl* Find(int id) const;
};

// Decodes a DIALOG or DIALOGEX template; false when the bytes are cut short or malformed.
bool ParseDialogTemplate(const BYTE* data, size_t size, DialogTemplate* out);
// Finds and decodes template `id` of the module.
bool LoadDialogTemplate(HMODULE module, int id, DialogTemplate* out);

// The bytes of resource (type, id); empty when absent.
std::vector<BYTE> ResourceBytes(HMODULE module, const char* type, int id);
// String resource `id`, or nullopt-like false when the module has no such string.
bool LoadModuleString(HMODULE module, UINT id, std::string* out);

// GIF reading, enough to check the animation: the logical screen, the global colour table and
// every frame decoded to palette indices.
struct GifFrame {
    bool has_control_extension = false;
    int delay = -1;      // hundredths of a second
    int disposal = 0;
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> indices;  // width * height when the image data decoded completely
};
struct GifImage {
    std::string signature;
    int width = 0, height = 0;
    int global_colours = 0;  // 0 when there is no global colour table
    std::vector<GifFrame> frames;
};
// False (with `error` set) on any structural fault: a block running past the end, an LZW
// stream that does not decode to exactly width * height pixels, a missing trailer.
bool ParseGif(const std::vector<BYTE>& bytes, GifImage* out, std::string* error);

}  // namespace langmod
