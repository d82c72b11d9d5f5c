#include "tests/resources/LanguageModule.h"

#include <cstring>

#include "tests/support/TestSupport.h"

namespace langmod {

Module::Module() {
    const std::string path = testsupport::Join(testsupport::BinDir(), "ko-KR.dll");
    handle_ = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

Module::~Module() {
    if (handle_) FreeLibrary(handle_);
}

const DialogControl* DialogTemplate::Find(int id) const {
    for (const auto& control : controls)
        if (control.id == id) return &control;
    return nullptr;
}

namespace {

// Reads a template front to back; every read checks the remaining length.
class Reader {
public:
    Reader(const BYTE* data, size_t size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }

    template <typename T>
    T Get() {
        T value{};
        if (pos_ + sizeof(T) > size_) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, data_ + pos_, sizeof(T));
        pos_ += sizeof(T);
        return value;
    }
    void Skip(size_t n) {
        if (pos_ + n > size_) ok_ = false;
        else pos_ += n;
    }
    void AlignDword() { Skip(((pos_ + 3) & ~size_t(3)) - pos_); }

    std::string WideString() {
        std::wstring text;
        for (;;) {
            const WCHAR c = Get<WCHAR>();
            if (!ok_ || c == 0) break;
            text.push_back(c);
        }
        return Narrow(text);
    }
    // A name or an ordinal (0xFFFF, number); the ordinal comes back in `ordinal`, else -1.
    std::string NameOrOrdinal(int* ordinal) {
        *ordinal = -1;
        const WCHAR first = Get<WCHAR>();
        if (!ok_ || first == 0) return std::string();
        if (first == 0xFFFF) {
            *ordinal = Get<WORD>();
            return std::string();
        }
        pos_ -= sizeof(WCHAR);
        return WideString();
    }

private:
    static std::string Narrow(const std::wstring& text) {
        if (text.empty()) return std::string();
        const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0,
                                          nullptr, nullptr);
        std::string out(n, '\0');
        WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), &out[0], n, nullptr, nullptr);
        return out;
    }

    const BYTE* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

std::string PredefinedClass(int atom) {
    switch (atom) {
        case 0x80: return "Button";
        case 0x81: return "Edit";
        case 0x82: return "Static";
        case 0x83: return "ListBox";
        case 0x84: return "ScrollBar";
        case 0x85: return "ComboBox";
        default: return "#" + std::to_string(atom);
    }
}

}  // namespace

bool ParseDialogTemplate(const BYTE* data, size_t size, DialogTemplate* out) {
    *out = DialogTemplate{};
    Reader r(data, size);
    const WORD version = r.Get<WORD>();
    const WORD signature = r.Get<WORD>();
    out->extended = version == 1 && signature == 0xFFFF;
    WORD count = 0;
    if (out->extended) {
        r.Get<DWORD>();  // help id
        out->ex_style = r.Get<DWORD>();
        out->style = r.Get<DWORD>();
    } else {
        r = Reader(data, size);
        out->style = r.Get<DWORD>();
        out->ex_style = r.Get<DWORD>();
    }
    count = r.Get<WORD>();
    out->x = r.Get<short>();
    out->y = r.Get<short>();
    out->cx = r.Get<short>();
    out->cy = r.Get<short>();
    int ordinal = -1;
    r.NameOrOrdinal(&ordinal);  // menu
    r.NameOrOrdinal(&ordinal);  // class
    r.WideString();             // title
    if (out->style & DS_SETFONT) {
        out->point_size = r.Get<WORD>();
        if (out->extended) {
            r.Get<WORD>();  // weight
            r.Get<BYTE>();  // italic
            r.Get<BYTE>();  // character set
        }
        out->font_face = r.WideString();
    }
    for (WORD i = 0; i < count && r.ok(); ++i) {
        r.AlignDword();
        DialogControl control;
        if (out->extended) {
            r.Get<DWORD>();  // help id
            control.ex_style = r.Get<DWORD>();
            control.style = r.Get<DWORD>();
        } else {
            control.style = r.Get<DWORD>();
            control.ex_style = r.Get<DWORD>();
        }
        control.x = r.Get<short>();
        control.y = r.Get<short>();
        control.cx = r.Get<short>();
        control.cy = r.Get<short>();
        control.id = out->extended ? int(r.Get<DWORD>()) : short(r.Get<WORD>());
        int atom = -1;
        control.window_class = r.NameOrOrdinal(&atom);
        if (atom >= 0) control.window_class = PredefinedClass(atom);
        int text_ordinal = -1;
        control.text = r.NameOrOrdinal(&text_ordinal);
        const WORD extra = r.Get<WORD>();
        r.Skip(extra);
        if (r.ok()) out->controls.push_back(control);
    }
    return r.ok() && out->controls.size() == count;
}

std::vector<BYTE> ResourceBytes(HMODULE module, const char* type, int id) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const DWORD size = SizeofResource(module, found);
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!data) return {};
    return std::vector<BYTE>(data, data + size);
}

bool LoadDialogTemplate(HMODULE module, int id, DialogTemplate* out) {
    const std::vector<BYTE> bytes = ResourceBytes(module, MAKEINTRESOURCEA(5) /* RT_DIALOG */, id);
    return !bytes.empty() && ParseDialogTemplate(bytes.data(), bytes.size(), out);
}

bool LoadModuleString(HMODULE module, UINT id, std::string* out) {
    // LoadString cannot tell an empty string from a missing one; the length prefix in the table
    // can: a read-only pointer to it comes back when the buffer size is 0.
    const WCHAR* text = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return false;
    const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    out->assign(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, &(*out)[0], n, nullptr, nullptr);
    return true;
}

namespace {

// The GIF flavour of LZW: codes least significant bit first, widths from min_code_size + 1 up
// to 12 bits.
bool DecodeLzw(int min_code_size, const std::vector<uint8_t>& data, size_t expected,
               std::vector<uint8_t>* out, std::string* error) {
    if (min_code_size < 2 || min_code_size > 8) {
        *error = "bad LZW minimum code size";
        return false;
    }
    const int clear = 1 << min_code_size, end = clear + 1;
    std::vector<int> prefix(4096, -1);
    std::vector<uint8_t> suffix(4096), first(4096);
    for (int i = 0; i < clear; ++i) suffix[i] = first[i] = uint8_t(i);
    int width = min_code_size + 1, next = end + 1, previous = -1;
    size_t bit = 0;
    std::vector<uint8_t> scratch;
    auto emit = [&](int code) {
        scratch.clear();
        for (int c = code; c >= 0; c = prefix[c]) scratch.push_back(suffix[c]);
        out->insert(out->end(), scratch.rbegin(), scratch.rend());
    };
    for (;;) {
        if (bit + width > data.size() * 8) {
            *error = "LZW data ends without an end code";
            return false;
        }
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit)
            if (data[bit / 8] & (1 << (bit % 8))) code |= 1 << i;
        if (code == clear) {
            width = min_code_size + 1;
            next = end + 1;
            previous = -1;
            continue;
        }
        if (code == end) break;
        if (previous < 0) {
            if (code >= clear) {
                *error = "LZW stream starts with a code that is not a colour";
                return false;
            }
            emit(code);
            previous = code;
            continue;
        }
        uint8_t head;
        if (code < next) {
            head = first[code];
        } else if (code == next) {
            head = first[previous];
        } else {
            *error = "LZW code beyond the table";
            return false;
        }
        if (next < 4096) {
            prefix[next] = previous;
            suffix[next] = head;
            first[next] = first[previous];
            ++next;
            if (next == (1 << width) && width < 12) ++width;
        }
        emit(code);
        previous = code;
        if (out->size() > expected) break;
    }
    if (out->size() != expected) {
        *error = "frame decodes to " + std::to_string(out->size()) + " pixels, not " +
                 std::to_string(expected);
        return false;
    }
    return true;
}

}  // namespace

bool ParseGif(const std::vector<BYTE>& bytes, GifImage* out, std::string* error) {
    *out = GifImage{};
    size_t pos = 0;
    auto need = [&](size_t n) {
        if (pos + n > bytes.size()) {
            *error = "block runs past the end at byte " + std::to_string(pos);
            return false;
        }
        return true;
    };
    auto u16 = [&](size_t at) { return int(bytes[at] | (bytes[at + 1] << 8)); };
    // Concatenates a chain of sub-blocks starting at pos; pos ends after the terminator.
    auto chain = [&](std::vector<uint8_t>* data) {
        for (;;) {
            if (!need(1)) return false;
            const size_t length = bytes[pos++];
            if (length == 0) return true;
            if (!need(length)) return false;
            if (data) data->insert(data->end(), bytes.begin() + pos, bytes.begin() + pos + length);
            pos += length;
        }
    };
    if (!need(13)) return false;
    out->signature.assign(bytes.begin(), bytes.begin() + 6);
    out->width = u16(6);
    out->height = u16(8);
    const int packed = bytes[10];
    pos = 13;
    if (packed & 0x80) {
        out->global_colours = 1 << ((packed & 7) + 1);
        if (!need(size_t(3) * out->global_colours)) return false;
        pos += size_t(3) * out->global_colours;
    }
    GifFrame pending;
    for (;;) {
        if (!need(1)) return false;
        const BYTE kind = bytes[pos];
        if (kind == 0x3B) return true;
        if (kind == 0x21) {
            if (!need(2)) return false;
            const BYTE label = bytes[pos + 1];
            pos += 2;
            if (label == 0xF9) {
                if (!need(6) || bytes[pos] != 4) {
                    *error = "graphic control extension of the wrong size";
                    return false;
                }
                pending.has_control_extension = true;
                pending.disposal = (bytes[pos + 1] >> 2) & 7;
                pending.delay = u16(pos + 2);
                pos += 5;
                if (bytes[pos++] != 0) {
                    *error = "graphic control extension without terminator";
                    return false;
                }
            } else {
                if (!chain(nullptr)) return false;
            }
        } else if (kind == 0x2C) {
            if (!need(11)) return false;
            GifFrame frame = pending;
            pending = GifFrame{};
            frame.left = u16(pos + 1);
            frame.top = u16(pos + 3);
            frame.width = u16(pos + 5);
            frame.height = u16(pos + 7);
            const int image_packed = bytes[pos + 9];
            pos += 10;
            if (image_packed & 0x80) {
                const size_t table = size_t(3) << ((image_packed & 7) + 1);
                if (!need(table)) return false;
                pos += table;
            }
            if (!need(1)) return false;
            const int min_code_size = bytes[pos++];
            std::vector<uint8_t> data;
            if (!chain(&data)) return false;
            if (!DecodeLzw(min_code_size, data, size_t(frame.width) * frame.height, &frame.indices,
                           error))
                return false;
            out->frames.push_back(std::move(frame));
        } else {
            *error = "unknown block type " + std::to_string(kind);
            return false;
        }
    }
}

}  // namespace langmod
