// Parses DLGTEMPLATE and DLGTEMPLATEEX bytes: a header, then one item per
// control, each item starting on a DWORD boundary of the template.
#include "user/dlgtemplate.h"

#include "kernel/resources.h"

namespace user {

namespace {

class TemplateReader {
public:
    explicit TemplateReader(std::span<const BYTE> bytes) : bytes_(bytes) {}
    bool Ok() const { return ok_; }

    WORD Word()
    {
        if (at_ + 2 > bytes_.size()) {
            ok_ = false;
            return 0;
        }
        WORD w = static_cast<WORD>(bytes_[at_] | (bytes_[at_ + 1] << 8));
        at_ += 2;
        return w;
    }
    DWORD Dword()
    {
        DWORD lo = Word();
        return lo | (static_cast<DWORD>(Word()) << 16);
    }
    short Short() { return static_cast<short>(Word()); }

    std::string String()
    {
        std::u16string text;
        for (WORD c = Word(); ok_ && c != 0; c = Word())
            text.push_back(static_cast<char16_t>(c));
        return kernel::NarrowText(text);
    }
    // 0x0000: nothing; 0xFFFF: an ordinal follows; else a string.
    OrdinalOrText Field()
    {
        OrdinalOrText field;
        if (at_ + 2 <= bytes_.size()) {
            WORD first = static_cast<WORD>(bytes_[at_] | (bytes_[at_ + 1] << 8));
            if (first == 0xFFFF) {
                Word();
                field.isOrdinal = true;
                field.ordinal = Word();
                return field;
            }
        }
        field.text = String();
        return field;
    }
    void Bytes(size_t count, std::vector<BYTE> &out)
    {
        if (at_ + count > bytes_.size()) {
            ok_ = false;
            return;
        }
        out.assign(bytes_.begin() + at_, bytes_.begin() + at_ + count);
        at_ += count;
    }
    void AlignDword() { at_ = (at_ + 3) & ~size_t{3}; }

private:
    std::span<const BYTE> bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

}  // namespace

std::optional<DialogTemplate> ParseDialogTemplate(std::span<const BYTE> bytes)
{
    TemplateReader in(bytes);
    DialogTemplate dlg;
    WORD count = 0;
    if (bytes.size() >= 4 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF &&
        bytes[3] == 0xFF) {
        dlg.extended = true;
        in.Dword();  // dlgVer 1, signature 0xFFFF
        in.Dword();  // helpID
        dlg.exStyle = in.Dword();
        dlg.style = in.Dword();
    } else {
        dlg.style = in.Dword();
        dlg.exStyle = in.Dword();
    }
    count = in.Word();
    dlg.x = in.Short();
    dlg.y = in.Short();
    dlg.cx = in.Short();
    dlg.cy = in.Short();
    dlg.menu = in.Field();
    dlg.windowClass = in.Field();
    dlg.caption = in.String();
    if (dlg.style & DS_SETFONT) {
        dlg.pointSize = in.Word();
        if (dlg.extended) {
            in.Word();  // weight
            in.Word();  // italic, charset
        }
        dlg.typeface = in.String();
    }
    if (!in.Ok())
        return std::nullopt;

    for (WORD i = 0; i < count; ++i) {
        in.AlignDword();
        DialogItemTemplate item;
        if (dlg.extended) {
            in.Dword();  // helpID
            item.exStyle = in.Dword();
            item.style = in.Dword();
        } else {
            item.style = in.Dword();
            item.exStyle = in.Dword();
        }
        item.x = in.Short();
        item.y = in.Short();
        item.cx = in.Short();
        item.cy = in.Short();
        item.id = dlg.extended ? in.Dword() : in.Word();
        item.windowClass = in.Field();
        item.text = in.Field();
        WORD extra = in.Word();
        // Size in bytes of the creation data that follows (0: none).
        in.Bytes(extra, item.creationData);
        if (!in.Ok())
            return std::nullopt;
        dlg.items.push_back(std::move(item));
    }
    return dlg;
}

const char *PredefinedClassName(WORD ordinal)
{
    switch (ordinal) {
    case kClassButton:
        return "Button";
    case kClassEdit:
        return "Edit";
    case kClassStatic:
        return "Static";
    case kClassListBox:
        return "ListBox";
    case kClassScrollBar:
        return "ScrollBar";
    case kClassComboBox:
        return "ComboBox";
    default:
        return nullptr;
    }
}

}  // namespace user
