// What a Debian user gets: the settings description has the shape of the installed display
// modes' ones, and installing or packaging places the three files where the daemon looks, with
// the licence and the changelog.
#include <gtest/gtest.h>

#include "programs_posix.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <utility>

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kInstalledConfig[] = "/usr/share/xscreensaver/config";

std::string Attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    const std::string text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

std::string Name(const xmlNode* node) {
    return reinterpret_cast<const char*>(node->name);
}

// Every element, and every attribute with the element it sits on, in one description.
void CollectShape(xmlNode* node, std::set<std::string>* elements,
                  std::set<std::pair<std::string, std::string>>* attributes) {
    for (; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE) {
            continue;
        }
        elements->insert(Name(node));
        for (xmlAttr* a = node->properties; a != nullptr; a = a->next) {
            attributes->insert({Name(node), reinterpret_cast<const char*>(a->name)});
        }
        CollectShape(node->children, elements, attributes);
    }
}

xmlNode* FindChild(xmlNode* parent, const char* name, const char* id = nullptr) {
    for (xmlNode* n = parent->children; n != nullptr; n = n->next) {
        if (n->type == XML_ELEMENT_NODE && Name(n) == name &&
            (id == nullptr || Attribute(n, "id") == id)) {
            return n;
        }
    }
    return nullptr;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \n\t");
    const size_t last = text.find_last_not_of(" \n\t");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::set<std::string>* g_found = nullptr;
std::string g_root;
int CollectFile(const char* path, const struct stat*, int type, FTW*) {
    if (type == FTW_F) {
        g_found->insert(std::string(path).substr(g_root.size() + 1));
    }
    return 0;
}

// The regular files below a folder, as paths relative to it.
std::set<std::string> FilesBelow(const std::string& root) {
    std::set<std::string> found;
    g_found = &found;
    g_root = root;
    nftw(root.c_str(), CollectFile, 16, FTW_PHYS);
    return found;
}

const std::set<std::string> kInstalledFiles = {
    "usr/libexec/xscreensaver/ripplefield",
    "usr/share/xscreensaver/config/ripplefield.xml",
    "usr/share/man/man6/ripplefield.6x.gz",
    "usr/share/doc/ripplefield/copyright",
    "usr/share/doc/ripplefield/changelog.gz",
    "usr/bin/ripplefield-wayland",
    "usr/share/man/man6/ripplefield-wayland.6.gz",
    "usr/lib/systemd/user/ripplefield-wayland.service",
};

} // namespace

TEST(SettingsDescription, HasTheShapeOfTheInstalledOnes) {
    std::set<std::string> knownElements;
    std::set<std::pair<std::string, std::string>> knownAttributes;
    DIR* dir = opendir(kInstalledConfig);
    ASSERT_NE(dir, nullptr) << kInstalledConfig << " is missing: xscreensaver-data installs it";
    int installed = 0;
    while (dirent* entry = readdir(dir)) {
        const std::string file = entry->d_name;
        if (file.size() < 5 || file.compare(file.size() - 4, 4, ".xml") != 0) {
            continue;
        }
        xmlDoc* doc = xmlReadFile((std::string(kInstalledConfig) + "/" + file).c_str(), nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        if (doc != nullptr) {
            CollectShape(xmlDocGetRootElement(doc), &knownElements, &knownAttributes);
            xmlFreeDoc(doc);
            ++installed;
        }
    }
    closedir(dir);
    ASSERT_GT(installed, 100);

    xmlDoc* doc = xmlReadFile(RIPPLEFIELD_XML, nullptr, XML_PARSE_NONET);
    ASSERT_NE(doc, nullptr) << RIPPLEFIELD_XML << " does not parse";
    EXPECT_STREQ(reinterpret_cast<const char*>(doc->encoding), "ISO-8859-1");
    xmlNode* root = xmlDocGetRootElement(doc);
    std::set<std::string> elements;
    std::set<std::pair<std::string, std::string>> attributes;
    CollectShape(root, &elements, &attributes);
    for (const std::string& e : elements) {
        EXPECT_EQ(knownElements.count(e), 1u) << "<" << e << "> is in no installed description";
    }
    for (const auto& a : attributes) {
        EXPECT_EQ(knownAttributes.count(a), 1u)
            << a.second << "= on <" << a.first << "> is in no installed description";
    }

    // Found by the command's name; started the way the daemon starts GL display modes.
    EXPECT_EQ(Name(root), "screensaver");
    struct Expected {
        const char* element; // null for the root; found by its id when it has one
        const char* id;
        const char* attribute;
        const char* value;
    };
    const Expected expected[] = {
        {nullptr, nullptr, "name", "ripplefield"}, {nullptr, nullptr, "_label", "RippleField"},
        {nullptr, nullptr, "gl", "yes"},           {"command", nullptr, "arg", "--root"},
        {"number", "delay", "type", "slider"},     {"number", "delay", "arg", "--delay %"},
        {"number", "delay", "convert", "invert"},  {"boolean", "showfps", "arg-set", "--fps"},
    };
    for (const Expected& e : expected) {
        xmlNode* node = e.element == nullptr ? root : FindChild(root, e.element, e.id);
        ASSERT_NE(node, nullptr) << e.element << " " << (e.id != nullptr ? e.id : "");
        EXPECT_EQ(Attribute(node, e.attribute), e.value) << e.attribute;
    }
    xmlNode* delay = FindChild(root, "number", "delay");
    const long low = std::atol(Attribute(delay, "low").c_str());
    const long high = std::atol(Attribute(delay, "high").c_str());
    const long preset = std::atol(Attribute(delay, "default").c_str());
    EXPECT_TRUE(low >= 0 && low <= preset && preset <= high && high <= 10000000)
        << low << " " << preset << " " << high;
    xmlNode* description = FindChild(root, "_description");
    ASSERT_NE(description, nullptr);
    xmlChar* text = xmlNodeGetContent(description);
    const std::string about = Trimmed(reinterpret_cast<const char*>(text));
    xmlFree(text);
    const std::string credit = "Written by the RippleField developers; 2026.";
    ASSERT_GE(about.size(), credit.size());
    EXPECT_EQ(about.substr(about.size() - credit.size()), credit);
    xmlFreeDoc(doc);
}

// Both ways of installing, into a scratch folder: cmake --install and the Debian package.
TEST(Installing, PlacesTheFilesAndNothingElse) {
    char scratchTemplate[] = "/tmp/ripplefield-install-XXXXXX";
    const std::string scratch = mkdtemp(scratchTemplate);

    ProgramRun run = RunProgram({CMAKE_COMMAND, "--install", BUILD_DIR, "--prefix", "/usr"},
                                {{"DESTDIR=" + scratch + "/root"}});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(FilesBelow(scratch + "/root"), kInstalledFiles);
    struct stat info = {};
    ASSERT_EQ(stat((scratch + "/root/usr/libexec/xscreensaver/ripplefield").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0755, 0755u);

    run = RunProgram({CPACK_COMMAND, "--config", BUILD_DIR "/CPackConfig.cmake", "-G", "DEB", "-B",
                      scratch + "/deb"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::string deb = scratch + "/deb/ripplefield_" RIPPLEFIELD_VERSION "_amd64.deb";
    run = RunProgram({"dpkg-deb", "-x", deb, scratch + "/unpacked"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(FilesBelow(scratch + "/unpacked"), kInstalledFiles);
    run = RunProgram({"dpkg-deb", "-f", deb, "Package", "Depends", "Recommends"});
    ASSERT_EQ(run.exitCode, 0);
    const std::string& fields = run.out;
    EXPECT_NE(fields.find("Package: ripplefield\n"), std::string::npos) << fields;
    EXPECT_NE(fields.find("Recommends: xscreensaver\n"), std::string::npos) << fields;
    for (const char* library :
         {"libx11-6", "libxrandr2", "libglx0", "libc6", "libwayland-client0", "libxkbcommon0"}) {
        EXPECT_NE(fields.find(library), std::string::npos) << library << " in " << fields;
    }
    EXPECT_EQ(fields.find("glut"), std::string::npos) << fields;
    std::filesystem::remove_all(scratch);
}
