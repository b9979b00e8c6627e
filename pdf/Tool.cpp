// folium-pdf: the native side of real PDF documents for the reader simulator.
//   folium-pdf import IN.pdf OUT.json [--password PW] [--max-pages N]
//   folium-pdf export STATE.json OUT.pdf
//   folium-pdf render IN.pdf DIR [--pages LIST] [--dpi N]
// Exit 0 on success; on failure one line "folium-pdf: <reason>" on standard
// error, exit 2 for bad input (1 for a bad command line), and no output file.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Export.h"
#include "Import.h"
#include "Render.h"

namespace {

struct UsageError {
    std::string text;
};

int Fail(const std::string& reason, int code) {
    std::fprintf(stderr, "folium-pdf: %s\n", reason.c_str());
    return code;
}

// Writes through a temporary name so that a failed run leaves no half file; a
// device or pipe (e.g. /dev/stdout) is written directly, never replaced.
void WriteOutput(const std::string& path, const std::function<void(std::ostream&)>& write) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec)) {
        std::ofstream out(path, std::ios::binary);
        write(out);
        out.flush();
        if (!out) throw foliumpdf::ImportError("cannot write " + path);
        return;
    }
    std::string temp = path + ".part";
    try {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw foliumpdf::ImportError("cannot write " + path);
        write(out);
        out.close();
        if (!out) throw foliumpdf::ImportError("cannot write " + path);
        std::filesystem::rename(temp, path, ec);
        if (ec) throw foliumpdf::ImportError("cannot write " + path);
    } catch (...) {
        std::filesystem::remove(temp, ec);
        throw;
    }
}

// Splits "A B --key value" into positional arguments and options.
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
};

Arguments Parse(int argc, char** argv, const std::vector<std::string>& known) {
    Arguments a;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--", 0) == 0) {
            if (std::find(known.begin(), known.end(), arg) == known.end() || i + 1 >= argc)
                throw UsageError{"unknown or incomplete option " + arg};
            a.options[arg] = argv[++i];
        } else {
            a.positional.push_back(arg);
        }
    }
    return a;
}

int Import(int argc, char** argv) {
    Arguments a = Parse(argc, argv, {"--password", "--max-pages"});
    if (a.positional.size() != 2) throw UsageError{"usage: folium-pdf import IN.pdf OUT.json [--password PW]"};
    foliumpdf::ImportOptions options;
    options.password = a.options["--password"];
    if (a.options.count("--max-pages")) options.maxPages = std::stol(a.options["--max-pages"]);
    WriteOutput(a.positional[1], [&](std::ostream& out) { foliumpdf::ImportPdfFile(a.positional[0], options, out); });
    return 0;
}

// Subcommands; each returns the exit code or throws.
const std::map<std::string, std::function<int(int, char**)>> kCommands = {
    {"import", Import},
    {"export", foliumpdf::RunExportCommand},
    {"render", foliumpdf::RunRenderCommand},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !kCommands.count(argv[1])) {
        std::string names;
        for (auto& [name, run] : kCommands) names += (names.empty() ? "" : "|") + name;
        return Fail("usage: folium-pdf " + names + " ...", 1);
    }
    try {
        return kCommands.at(argv[1])(argc, argv);
    } catch (UsageError& e) {
        return Fail(e.text, 1);
    } catch (foliumpdf::ImportError& e) {
        return Fail(e.what(), 2);
    } catch (std::exception& e) {
        return Fail(e.what(), 2);
    }
}
