#include "platform/ui/DialogTemplateText.h"

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ui/CButton.h"
#include "platform/ui/CComboBox.h"
#include "platform/ui/CEdit.h"
#include "platform/ui/CListBox.h"
#include "platform/ui/CSliderCtrl.h"
#include "platform/ui/CStatic.h"

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

// Words, quoted texts and '|' as tokens of their own; false for an open quote
// or an escape other than \" and \\.
bool Tokenize(const std::string& line, std::vector<Token>& out)
{
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '|') {
            out.push_back({"|", false});
            ++i;
        } else if (c == '"') {
            Token t{"", true};
            ++i;
            for (;;) {
                if (i >= line.size())
                    return false;
                if (line[i] == '"') {
                    ++i;
                    break;
                }
                if (line[i] == '\\') {
                    if (i + 1 >= line.size() || (line[i + 1] != '"' && line[i + 1] != '\\'))
                        return false;
                    ++i;
                }
                t.text += line[i++];
            }
            out.push_back(t);
        } else {
            Token t;
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])) && line[i] != '|' &&
                   line[i] != '"')
                t.text += line[i++];
            out.push_back(t);
        }
    }
    return true;
}

bool ParseNumber(const std::string& s, long& value)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(s.c_str(), &end, 0);
    return errno == 0 && end && *end == '\0' && value >= -0x80000000L && value <= 0xFFFFFFFFL;
}

const std::map<std::string, DWORD>& StyleNames()
{
    static const std::map<std::string, DWORD> names = {
        {"WS_POPUP", WS_POPUP}, {"WS_CHILD", WS_CHILD}, {"WS_VISIBLE", WS_VISIBLE},
        {"WS_DISABLED", WS_DISABLED}, {"WS_CLIPSIBLINGS", WS_CLIPSIBLINGS},
        {"WS_CLIPCHILDREN", WS_CLIPCHILDREN}, {"WS_CAPTION", WS_CAPTION}, {"WS_BORDER", WS_BORDER},
        {"WS_DLGFRAME", WS_DLGFRAME}, {"WS_SYSMENU", WS_SYSMENU}, {"WS_THICKFRAME", WS_THICKFRAME},
        {"WS_GROUP", WS_GROUP}, {"WS_TABSTOP", WS_TABSTOP}, {"WS_EX_TOOLWINDOW", WS_EX_TOOLWINDOW},
        {"WS_EX_TOPMOST", WS_EX_TOPMOST},
        {"BS_PUSHBUTTON", BS_PUSHBUTTON}, {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
        {"BS_CHECKBOX", BS_CHECKBOX}, {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX},
        {"BS_RADIOBUTTON", BS_RADIOBUTTON}, {"BS_3STATE", BS_3STATE}, {"BS_AUTO3STATE", BS_AUTO3STATE},
        {"BS_GROUPBOX", BS_GROUPBOX}, {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
        {"BS_OWNERDRAW", BS_OWNERDRAW},
        {"SS_LEFT", SS_LEFT}, {"SS_CENTER", SS_CENTER}, {"SS_RIGHT", SS_RIGHT},
        {"SS_ETCHEDHORZ", SS_ETCHEDHORZ}, {"SS_NOTIFY", SS_NOTIFY}, {"SS_NOPREFIX", SS_NOPREFIX},
        {"ES_LEFT", ES_LEFT}, {"ES_CENTER", ES_CENTER}, {"ES_RIGHT", ES_RIGHT},
        {"ES_AUTOHSCROLL", ES_AUTOHSCROLL}, {"ES_READONLY", ES_READONLY}, {"ES_NUMBER", ES_NUMBER},
        {"TBS_HORZ", TBS_HORZ}, {"TBS_VERT", TBS_VERT}, {"TBS_AUTOTICKS", TBS_AUTOTICKS},
        {"TBS_NOTICKS", TBS_NOTICKS}, {"LBS_NOTIFY", LBS_NOTIFY}, {"LBS_SORT", LBS_SORT},
        {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST}, {"CBS_SORT", CBS_SORT}, {"WS_VSCROLL", WS_VSCROLL}};
    return names;
}

class Parser {
public:
    Parser(std::map<UINT, DialogTemplate>& out, CString& error) : m_out(out), m_error(error) {}

    bool Run(const char* text)
    {
        std::istringstream in(text ? text : "");
        std::string line;
        while (std::getline(in, line)) {
            ++m_line;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::vector<Token> tokens;
            if (!Tokenize(line, tokens))
                return Fail("a text is not closed or holds an unknown escape");
            if (tokens.empty() || (!tokens[0].quoted && tokens[0].text[0] == '#'))
                continue;
            if (!Line(tokens))
                return false;
        }
        if (m_current)
            return Fail("the dialog has no end");
        return true;
    }

private:
    bool Line(const std::vector<Token>& t)
    {
        const std::string& word = t[0].text;
        if (word == "define") {
            long value = 0;
            if (t.size() != 3 || !ParseNumber(t[2].text, value))
                return Fail("expected define NAME number");
            m_defines[t[1].text] = static_cast<int>(value);
            return true;
        }
        if (word == "dialog") {
            if (m_current)
                return Fail("a dialog inside a dialog");
            std::size_t i = 1;
            m_dialogId = 0;
            m_dialogName = i < t.size() ? t[i].text : std::string();
            int id = 0;
            if (!Id(t, i, id, "dialog"))
                return false;
            if (id <= 0 || id > 0xFFFF)
                return Fail("a dialog id is 1..65535");
            m_dialogId = static_cast<UINT>(id);
            if (m_out.count(m_dialogId))
                return Fail("the dialog is defined twice");
            DialogTemplate d;
            if (!Rect(t, i, d.rect) || !Text(t, i, d.caption))
                return false;
            while (i < t.size()) {
                if (t[i].text == "font" && !t[i].quoted) {
                    long points = 0;
                    if (i + 2 >= t.size() || !ParseNumber(t[i + 1].text, points) || points <= 0 || points > 72 ||
                        !t[i + 2].quoted)
                        return Fail("expected font points \"face\"");
                    d.pointSize = static_cast<int>(points);
                    d.fontFace = t[i + 2].text.c_str();
                    i += 3;
                } else if (!Styles(t, i, d.style, d.exStyle)) {
                    return false;
                }
            }
            m_current = &m_out[m_dialogId];
            *m_current = d;
            return true;
        }
        if (word == "control") {
            if (!m_current)
                return Fail("a control outside a dialog");
            if (t.size() < 2)
                return Fail("expected control CLASS ID x y width height \"text\"");
            DialogControl c;
            c.className = t[1].text.c_str();
            if (!mvui::IsDialogControlClass(c.className))
                return Fail("unknown control class \"" + t[1].text + "\"");
            std::size_t i = 2;
            if (!Id(t, i, c.id, "control") || !Rect(t, i, c.rect) || !Text(t, i, c.text))
                return false;
            while (i < t.size())
                if (!Styles(t, i, c.style, c.exStyle))
                    return false;
            c.style |= WS_VISIBLE;  // controls show unless their dialog is hidden
            m_current->controls.push_back(c);
            return true;
        }
        if (word == "end") {
            if (!m_current || t.size() != 1)
                return Fail("end without a dialog");
            m_current = nullptr;
            m_dialogId = 0;
            m_dialogName.clear();
            return true;
        }
        return Fail("unknown item \"" + word + "\"");
    }

    bool Id(const std::vector<Token>& t, std::size_t& i, int& id, const char* what)
    {
        if (i >= t.size() || t[i].quoted)
            return Fail(std::string("expected a ") + what + " id");
        const std::string& s = t[i++].text;
        long value = 0;
        if (ParseNumber(s, value)) {
            id = static_cast<int>(value);
            return true;
        }
        static const std::map<std::string, int> builtIn = {
            {"IDOK", IDOK}, {"IDCANCEL", IDCANCEL}, {"IDHELP", IDHELP}, {"IDC_STATIC", -1}};
        if (auto it = m_defines.find(s); it != m_defines.end()) {
            id = it->second;
            return true;
        }
        if (auto it = builtIn.find(s); it != builtIn.end()) {
            id = it->second;
            return true;
        }
        return Fail(std::string("unknown ") + what + " id " + s);
    }

    bool Rect(const std::vector<Token>& t, std::size_t& i, CRect& r)
    {
        long v[4];
        for (long& x : v) {
            if (i >= t.size() || t[i].quoted || !ParseNumber(t[i].text, x) || x < -0x7FFF || x > 0x7FFF)
                return Fail("expected x y width height");
            ++i;
        }
        if (v[2] < 0 || v[3] < 0)
            return Fail("a width or height below 0");
        r = CRect(static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[0] + v[2]),
                  static_cast<int>(v[1] + v[3]));
        return true;
    }

    bool Text(const std::vector<Token>& t, std::size_t& i, CString& text)
    {
        if (i >= t.size() || !t[i].quoted)
            return Fail("expected a text in double quotes");
        text = t[i++].text.c_str();
        return true;
    }

    // style A|B|0x10 or exstyle ...
    bool Styles(const std::vector<Token>& t, std::size_t& i, DWORD& style, DWORD& exStyle)
    {
        const std::string& key = t[i].text;
        if (t[i].quoted || (key != "style" && key != "exstyle"))
            return Fail("unexpected \"" + key + "\"");
        DWORD value = 0;
        ++i;
        for (bool first = true;; first = false) {
            if (!first) {
                if (i >= t.size() || t[i].text != "|" || t[i].quoted)
                    break;
                ++i;
            }
            if (i >= t.size() || t[i].quoted)
                return Fail("expected a style");
            long number = 0;
            if (ParseNumber(t[i].text, number)) {
                value |= static_cast<DWORD>(number);
            } else if (auto it = StyleNames().find(t[i].text); it != StyleNames().end()) {
                value |= it->second;
            } else {
                return Fail("unknown style " + t[i].text);
            }
            ++i;
        }
        (key == "style" ? style : exStyle) = value;
        return true;
    }

    bool Fail(const std::string& what)
    {
        std::string where;
        if (m_current || m_dialogId)
            where = "dialog " + std::to_string(m_dialogId) + ", ";
        else if (!m_dialogName.empty())
            where = "dialog " + m_dialogName + ", ";
        m_error = (where + "line " + std::to_string(m_line) + ": " + what).c_str();
        return false;
    }

    std::map<UINT, DialogTemplate>& m_out;
    CString& m_error;
    std::map<std::string, int> m_defines;
    DialogTemplate* m_current = nullptr;
    UINT m_dialogId = 0;
    std::string m_dialogName;
    int m_line = 0;
};

}  // namespace

namespace mvui {

bool ParseDialogTemplates(const char* text, std::map<UINT, DialogTemplate>& out, CString& error)
{
    std::map<UINT, DialogTemplate> parsed;
    if (!Parser(parsed, error).Run(text))
        return false;
    out = std::move(parsed);
    return true;
}

bool LoadDialogTemplates(const char* text, CString& error)
{
    std::map<UINT, DialogTemplate> parsed;
    if (!ParseDialogTemplates(text, parsed, error))
        return false;
    for (const auto& [id, t] : parsed)
        RegisterDialogTemplate(id, t);
    return true;
}

}  // namespace mvui
