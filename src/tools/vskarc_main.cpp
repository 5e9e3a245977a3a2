// vskarc: lists, tests and extracts installer archives.
#include <array>
#include <cstdio>
#include <exception>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli_options.hpp"
#include "commands.hpp"
#include "vsk/exceptions.hpp"

namespace vsk::tools {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

using Handler = int (*)(const ParsedArgs&);

struct Command {
  std::string_view name;
  std::string_view usage;
  std::string_view summary;
  std::string_view help;
  std::span<const OptionSpec> options;
  Handler run;
};

constexpr OptionSpec kHelp{"help", 'h', false};
constexpr std::array kListOptions{kHelp};
constexpr std::array kExtractOptions{kHelp, OptionSpec{"output", 'o', true},
                                     OptionSpec{"key", 0, true}, OptionSpec{"progress", 0, false},
                                     OptionSpec{"no-progress", 0, false}};
constexpr std::array kCreateOptions{kHelp,
                                    OptionSpec{"method", 'm', true},
                                    OptionSpec{"key", 0, true},
                                    OptionSpec{"directory", 'C', true},
                                    OptionSpec{"progress", 0, false},
                                    OptionSpec{"no-progress", 0, false}};
constexpr std::array kStampOptions{kHelp, OptionSpec{"output", 'o', true},
                                   OptionSpec{"force", 'f', false}};
constexpr std::array kPayloadOptions{kHelp, OptionSpec{"extract", 'x', true},
                                     OptionSpec{"output", 'o', true}};
constexpr std::array kTestOptions{kHelp, OptionSpec{"key", 0, true},
                                  OptionSpec{"progress", 0, false},
                                  OptionSpec{"no-progress", 0, false}};

constexpr std::string_view kKeyHelp =
    "  --key N, --key=N  key for scrambled members: decimal (may be negative) or 0x hex,\n"
    "                    a signed 32-bit value; 0 (the default) means no key\n"
    "  --progress        always show a progress bar on standard error (default: only\n"
    "                    when standard error is a terminal)\n"
    "  --no-progress     never show the progress bar\n";

const std::array kCommands{
    Command{"list", "vskarc list ARCHIVE", "list the members of an archive",
            "Prints one row per member: method, stored size, expanded size, key flag,\n"
            "stored checksum (hex) and name, then a totals line.\n",
            kListOptions, RunList},
    Command{"extract", "vskarc extract ARCHIVE MEMBER [-o FILE] [--key N] [--progress]",
            "expand a member into a file or standard output",
            "Expands every member named MEMBER (ASCII letters match without regard to case),\n"
            "in archive order, into FILE (created or replaced) or standard output (no -o,\n"
            "or -o -). Compressed members are verified against their checksum; after a\n"
            "failure the destination keeps what was written before it.\n"
            "  -o FILE, --output=FILE  destination file\n",
            kExtractOptions, RunExtract},
    Command{"test", "vskarc test ARCHIVE [--key N] [--progress]", "expand and verify every member",
            "Expands every member into nothing and prints OK or the failure for each.\n"
            "Exit code 0 only when every member passes.\n",
            kTestOptions, RunTest},
    Command{"create",
            "vskarc create ARCHIVE FILE... [--method stored|rle|lzh|lh5] [--key N] [-C DIR] "
            "[--progress]",
            "create an archive from files and directories",
            "Packs each FILE as one member named as given, with \"/\" written as \"\\\";\n"
            "a directory adds every file below it, in name order. Each member is compressed\n"
            "with the chosen method, or stored when that would not make it smaller; with\n"
            "--key the compressed members are scrambled. ARCHIVE appears (or is replaced)\n"
            "only when complete.\n"
            "  -m M, --method=M  stored, rle, lzh or lh5 (default lh5)\n"
            "  -C DIR, --directory=DIR  read FILEs relative to DIR\n",
            kCreateOptions, RunCreate},
    Command{"stamp", "vskarc stamp LAUNCHER FIRST SECOND -o OUT [--force]",
            "append two archives to a launcher, making a setup",
            "Copies LAUNCHER to OUT, appends FIRST and SECOND as length-prefixed blocks\n"
            "directly behind it and stores the first block's offset behind the launcher's\n"
            "payload marker. Refuses a launcher without exactly one marker or that already\n"
            "carries a payload, inputs that are not archives, and a FIRST without the\n"
            "member Installer\\Varnskell.exe. OUT appears only when complete.\n"
            "  -o OUT, --output=OUT  the setup to write (replaced if it exists)\n"
            "  -f, --force           stamp a FIRST without Installer\\Varnskell.exe\n",
            kStampOptions, RunStamp},
    Command{"payload", "vskarc payload SETUP [--extract 1|2 -o FILE]",
            "show or extract the payload of a setup",
            "Shows the marker position, the stored offset, both blocks' offsets and lengths,\n"
            "and lists the members of both archives.\n"
            "  -x N, --extract=N  write the archive of block N (1 or 2) to FILE\n"
            "  -o FILE, --output=FILE\n",
            kPayloadOptions, RunPayload},
};

void PrintMainHelp(std::FILE* out) {
  std::fprintf(out,
               "usage: vskarc COMMAND [ARGS...] [OPTIONS...]\n\n"
               "Creates and reads installer archives (\"ZULK\" archives of stored, RLE, LZH1 and "
               "LH5\nmembers) and stamps them onto the setup launcher.\n\nCommands:\n");
  for (const auto& command : kCommands) {
    std::fprintf(out, "  %-8.*s %.*s\n", static_cast<int>(command.name.size()), command.name.data(),
                 static_cast<int>(command.summary.size()), command.summary.data());
  }
  std::fprintf(out,
               "\nRun 'vskarc COMMAND --help' for a command's arguments and options.\n"
               "Exit codes: 0 success, 1 failure (\"vskarc: <class>: <message>\" on standard\n"
               "error), 2 usage error.\n");
}

void PrintCommandHelp(const Command& command) {
  std::printf("usage: %.*s\n\n%.*s", static_cast<int>(command.usage.size()), command.usage.data(),
              static_cast<int>(command.help.size()), command.help.data());
  if (command.name != "list")
    std::printf("%.*s", static_cast<int>(kKeyHelp.size()), kKeyHelp.data());
}

const Command* FindCommand(std::string_view name) {
  for (const auto& command : kCommands) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

int Usage(const std::string& problem, std::string_view usage) {
  std::fprintf(stderr, "vskarc: %s\nusage: %.*s\n", problem.c_str(), static_cast<int>(usage.size()),
               usage.data());
  return kExitUsage;
}

int Main(const std::vector<std::string>& argv) {
  constexpr std::string_view kMainUsage = "vskarc COMMAND [ARGS...] (try 'vskarc --help')";
  if (argv.empty()) return Usage("no command given", kMainUsage);
  if (argv[0] == "--help" || argv[0] == "-h" || argv[0] == "help") {
    PrintMainHelp(stdout);
    return kExitOk;
  }
  const Command* command = FindCommand(argv[0]);
  if (command == nullptr) return Usage("unknown command '" + argv[0] + "'", kMainUsage);
  try {
    const auto rest = std::span(argv).subspan(1);
    const ParsedArgs args = ParseArgs(rest, command->options);
    if (args.Has("help")) {
      PrintCommandHelp(*command);
      return kExitOk;
    }
    return command->run(args);
  } catch (const UsageError& problem) {
    return Usage(problem.what(), command->usage);
  } catch (const Exception& failure) {
    std::fflush(stdout);
    std::fprintf(stderr, "vskarc: %s: %s\n", failure.ClassName().c_str(),
                 failure.Message().c_str());
  } catch (const ToolError& failure) {
    std::fflush(stdout);
    std::fprintf(stderr, "vskarc: %s\n", failure.what());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "vskarc: EOutOfMemory: Out of memory\n");
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "vskarc: %s\n", failure.what());
  }
  return kExitFailure;
}

}  // namespace
}  // namespace vsk::tools

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.emplace_back(argv[i]);
  return vsk::tools::Main(args);
}
