#include "dialog_resource.h"

#include <winsim/winsim.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace {

std::string ResourceFolder()
{
    std::string here = __FILE__;
    return here.substr(0, here.rfind("/tests/")) + "/resources/";
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::map<std::string, int> Identifiers()
{
    std::map<std::string, int> ids = {{"IDOK", 1}, {"IDCANCEL", 2}};
    std::regex define(R"(#define\s+(\w+)\s+(\d+))");
    std::string text = ReadAll(ResourceFolder() + "dialog_ids.h");
    for (std::sregex_iterator it(text.begin(), text.end(), define), end; it != end; ++it)
        ids[(*it)[1]] = std::stoi((*it)[2]);
    return ids;
}

std::string Trim(const std::string& s)
{
    auto b = s.find_first_not_of(" \t\r");
    auto e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

}  // namespace

RcDialog ReadSettingsDialogResource()
{
    auto ids = Identifiers();
    std::istringstream lines(ReadAll(ResourceFolder() + "dialog.rc"));
    RcDialog d;
    std::regex header(R"(^(\w+)\s+DIALOGEX\b)");
    std::regex quoted(R"(^(\w+)\s+\"([^\"]*)\"\s*,\s*(\w+)\s*,(.*)$)");
    std::regex plain(R"(^(\w+)\s+(\w+)\s*,(.*)$)");
    bool inBody = false;
    std::string line;
    while (std::getline(lines, line)) {
        line = Trim(line);
        std::smatch m;
        if (std::regex_search(line, m, header)) {
            d.id = ids.at(m[1]);
        } else if (line.rfind("CAPTION ", 0) == 0) {
            std::string c = line.substr(9, line.size() - 10);
            d.caption = std::u16string(c.begin(), c.end());
        } else if (line.rfind("STYLE ", 0) == 0) {
            d.style = line.substr(6);
        } else if (line.rfind("EXSTYLE ", 0) == 0) {
            d.exStyle = line.substr(8);
        } else if (line.rfind("FONT ", 0) == 0) {
            d.font = line.substr(5);
        } else if (line == "BEGIN") {
            inBody = true;
        } else if (line == "END") {
            inBody = false;
        } else if (inBody && std::regex_match(line, m, quoted)) {
            std::string t = m[2];
            d.controls.push_back({m[1], std::u16string(t.begin(), t.end()), m[3], ids.at(m[3]), m[4]});
        } else if (inBody && std::regex_match(line, m, plain)) {
            d.controls.push_back({m[1], u"", m[2], ids.at(m[2]), m[3]});
        }
    }
    return d;
}

void InstallSettingsDialogTemplate()
{
    RcDialog d = ReadSettingsDialogResource();
    std::vector<winsim::DialogControl> controls;
    for (const auto& c : d.controls)
        controls.push_back({c.id, c.text});
    winsim::AddDialogTemplate(d.id, d.caption, controls);
}
