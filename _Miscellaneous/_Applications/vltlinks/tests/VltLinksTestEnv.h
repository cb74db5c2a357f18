#pragma once
// A home, a system root and an installed product of their own for each
// shortcut-tool test.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CVltLinksMgr.h"
#include "ScratchDir.h"

class VltLinksTest : public ::testing::Test {
protected:
    struct Outcome {
        int32_t result = 0;
        std::string out;
        bool verbose = false;
    };

    void SetUp() override
    {
        namespace fs = std::filesystem;
        m_dir = ShellScratchDir();
        m_home = m_dir + "/home";
        m_product = m_dir + "/product";
        m_root = m_dir + "/root";
        fs::create_directories(m_home);
        fs::create_directories(m_product + "/bin");
        setenv("HOME", m_home.c_str(), 1);
        setenv("VLT_SYSTEM_ROOT", m_root.c_str(), 1);
        for (const char* name : {"XDG_DESKTOP_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            unsetenv(name);
        std::ofstream(m_product + "/bin/app") << "#!/bin/sh\n";
        fs::permissions(m_product + "/bin/app", fs::perms(0755));
        std::ofstream(m_product + "/readme.txt") << "read me\n";
    }

    Outcome Run(const std::vector<std::string>& args)
    {
        std::ostringstream out;
        Outcome outcome;
        outcome.result = CVltLinksMgr::RunTool(args, out, outcome.verbose);
        outcome.out = out.str();
        return outcome;
    }

    // Runs with the product as source folder and the context text given.
    Outcome RunWith(const std::string& context, std::vector<std::string> args)
    {
        std::ofstream(m_product + "/vltlinks.xml") << context;
        args.insert(args.end(), {"/Src", m_product});
        return Run(args);
    }

    std::string Desktop() const { return m_home + "/Desktop"; }
    std::string Programs() const { return m_home + "/.local/share/applications"; }

    std::string m_dir;
    std::string m_home;
    std::string m_product;
    std::string m_root;
};
