// quillbox-cli's store commands run as a program on stores built for each test.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "store/store_fixture.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_regular_file()) {
            files[fs::relative(it->path(), folder).generic_string()] =
                dbxw::ReadWholeFile(it->path());
        }
    }
    return files;
}

class CliStoreTest : public ::testing::Test {
protected:
    RunResult Run(const std::vector<std::string>& args) {
        std::string command = Quote(QUILLBOX_CLI);
        for (const auto& arg : args) {
            command += " " + Quote(arg);
        }
        const auto out = temp.Path("stdout");
        const auto err = temp.Path("stderr");
        command += " >" + Quote(out.string()) + " 2>" + Quote(err.string()) + " </dev/null";
        const int status = std::system(command.c_str());
        RunResult result;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = dbxw::ReadWholeFile(out);
        result.err = dbxw::ReadWholeFile(err);
        return result;
    }

    dbxw::TempDir temp;
};

TEST_F(CliStoreTest, FoldersJsonGivesTheTreeWithItsKeysInOrder) {
    storetest::WriteTypicalStore(temp.Path("store"));
    const RunResult r = Run({"folders", temp.Path("store").string(), "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = nlohmann::ordered_json::parse(r.out);
    std::vector<std::string> keys;
    for (const auto& [key, value] : doc.items()) {
        keys.push_back(key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"store", "folders", "unlisted"}));
    EXPECT_EQ(doc["store"], temp.Path("store").string());
    EXPECT_EQ(doc["unlisted"], nlohmann::json::array({"Orphan.dbx"}));

    const auto& folders = doc["folders"];
    ASSERT_EQ(folders.size(), 15u);
    std::vector<std::string> folderKeys;
    for (const auto& [key, value] : folders[0].items()) {
        folderKeys.push_back(key);
    }
    EXPECT_EQ(folderKeys, (std::vector<std::string>{"id", "parent", "name", "path", "file", "kind",
                                                    "messages"}));
    EXPECT_EQ(folders[0],
              nlohmann::ordered_json::parse(R"({"id":0,"parent":null,"name":"Outlook Express",
        "path":"","file":null,"kind":"root","messages":null})"));
    std::map<std::string, nlohmann::ordered_json> byPath;
    for (const auto& f : folders) {
        byPath[f["path"].get<std::string>()] = f;
    }
    EXPECT_EQ(byPath["Local Folders"], nlohmann::ordered_json::parse(R"({"id":1,"parent":0,
        "name":"Local Folders","path":"Local Folders","file":null,"kind":"account",
        "messages":null})"));
    EXPECT_EQ(byPath["Local Folders/Inbox"], nlohmann::ordered_json::parse(R"({"id":4,"parent":1,
        "name":"Inbox","path":"Local Folders/Inbox","file":"INBOX.DBX","kind":"inbox",
        "messages":3})"));
    EXPECT_EQ(byPath["Local Folders/Outbox"]["messages"], 0);
    EXPECT_EQ(byPath["Local Folders/Gone"]["file"], nullptr);
    EXPECT_EQ(byPath["Local Folders/Gone"]["messages"], nullptr);
    EXPECT_EQ(byPath["Local Folders/projects/Alpha/Deep"]["parent"], 11);
    EXPECT_EQ(byPath["news.example.com/comp.lang.c++"]["kind"], "news");
    EXPECT_EQ(byPath["Hotmail"]["kind"], "account");
    // Depth first: each folder comes after its parent.
    std::map<int, std::size_t> seen;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (!folders[i]["parent"].is_null()) {
            EXPECT_EQ(seen.count(folders[i]["parent"].get<int>()), 1u) << folders[i];
        }
        seen.emplace(folders[i]["id"].get<int>(), i);
    }
}

TEST_F(CliStoreTest, FoldersTableIndentsTheTree) {
    storetest::WriteTypicalStore(temp.Path("store"));
    const RunResult r = Run({"folders", (temp.Path("store") / "Folders.dbx").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    std::map<std::string, std::string> byName;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start != std::string::npos) {
            byName[line.substr(start, line.find("  ", start) - start)] = line;
        }
    }
    EXPECT_EQ(byName["Deep"].rfind("        Deep ", 0), 0u) << byName["Deep"];
    EXPECT_EQ(byName["Inbox"].rfind("    Inbox ", 0), 0u) << byName["Inbox"];
    EXPECT_NE(byName["Inbox"].find("INBOX.DBX"), std::string::npos);
    EXPECT_NE(byName["Gone"].find("Gone.dbx (missing)"), std::string::npos);
    EXPECT_EQ(byName["Outlook Express"].rfind("Outlook Express ", 0), 0u);
}

TEST_F(CliStoreTest, ExportStoreMatchesExportingEachFolderAndReportsFailures) {
    storetest::WriteTypicalStore(temp.Path("store"));
    RunResult r = Run({"export-store", temp.Path("store").string(), temp.Path("out").string(),
                       "--format", "eml"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("'Local Folders/Gone' is missing"), std::string::npos) << r.err;

    // The same with `export`, folder by folder.
    const std::vector<std::pair<std::string, std::string>> folders = {
        {"Deleted Items.dbx", "Local Folders/Deleted Items"},
        {"Drafts.dbx", "Local Folders/Drafts"},
        {"INBOX.DBX", "Local Folders/Inbox"},
        {"projects.dbx", "Local Folders/projects"},
        {"Alpha.dbx", "Local Folders/projects/Alpha"},
        {"Deep.dbx", "Local Folders/projects/Alpha/Deep"},
        {"Sent Items.dbx", "Local Folders/Sent Items"},
        {"comp.lang.c++.dbx", "news.example.com/comp.lang.c++"},
        {"Orphan.dbx", "Unlisted/Orphan"},
    };
    for (const auto& [file, place] : folders) {
        const RunResult one = Run({"export", (temp.Path("store") / file).string(),
                                   (temp.Path("reference") / place).string(), "--format", "eml"});
        ASSERT_EQ(one.exitCode, 0) << one.err;
    }
    const auto exported = Files(temp.Path("out"));
    EXPECT_EQ(exported.size(), 17u);
    EXPECT_EQ(exported, Files(temp.Path("reference")));

    // Without the missing file every folder exports: exit 0.
    fs::remove(temp.Path("store/Folders.dbx"));
    r = Run({"export-store", temp.Path("store").string(), temp.Path("flat").string(), "--format",
             "html"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Files(temp.Path("flat")).count("Local Folders/Deep.html"), 1u);
}

TEST_F(CliStoreTest, BadArgumentsAndMissingStores) {
    storetest::WriteTypicalStore(temp.Path("store"));
    RunResult r = Run({"export-store", temp.Path("store").string(), temp.Path("out").string(),
                       "--format", "pdf"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--format"), std::string::npos);
    EXPECT_FALSE(fs::exists(temp.Path("out")));
    r = Run({"export-store", temp.Path("store").string(), "  ", "--format", "eml"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Please choose an output folder."), std::string::npos) << r.err;
    fs::create_directories(temp.Path("empty"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"folders", temp.Path("empty").string()},
          std::vector<std::string>{"export-store", temp.Path("empty").string(),
                                   temp.Path("out").string(), "--format", "eml"}}) {
        r = Run(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("No Outlook Express store was found"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

TEST_F(CliStoreTest, ExportStoreAsMboxInTheThunderbirdLayout) {
    storetest::WriteTypicalStore(temp.Path("store"));
    fs::remove(temp.Path("store/Folders.dbx"));  // the flat list: every file a folder
    RunResult r = Run({"export-store", temp.Path("store").string(), temp.Path("tb").string(),
                       "--format", "mbox", "--layout", "thunderbird", "--no-file-times"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto files = Files(temp.Path("tb"));
    EXPECT_EQ(files.count("Local Folders"), 0u);  // Thunderbird's own
    EXPECT_EQ(files.count("Deep"), 1u);
    EXPECT_EQ(files.at("Deep").rfind("From ann@example.com ", 0), 0u);
    r = Run({"export-store", temp.Path("store").string(), temp.Path("plain").string(), "--format",
             "mbox"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Files(temp.Path("plain")).at("Local Folders/Deep.mbox"), files.at("Deep"));

    // The layout is the mbox's, and has two values.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--format", "eml", "--layout", "thunderbird"},
          std::vector<std::string>{"--format", "mbox", "--layout", "evolution"}}) {
        std::vector<std::string> all = {"export-store", temp.Path("store").string(),
                                        temp.Path("bad").string()};
        all.insert(all.end(), args.begin(), args.end());
        r = Run(all);
        EXPECT_EQ(r.exitCode, 2) << args[1] << " " << args[3];
        EXPECT_NE(r.err.find("--layout"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(temp.Path("bad")));
    }
    r = Run({"export-store", temp.Path("store").string(), temp.Path("rescued").string(), "--format",
             "eml", "--recover"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("0 recovered message(s)"), std::string::npos) << r.err;
}

}  // namespace
