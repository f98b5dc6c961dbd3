// kohport OldFileName NewFileName: converts a legacy Kohonen map file into a
// network description file. Checks its arguments, calls the library, and maps
// each reported failure to one line on standard error and exit status 1.
// Every failure of the reader and the writer, a lack of memory included,
// reaches this file as the library's own exception; broken invariants end
// the process with the assertion report (status 3).
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "FileHandler/ParseTools.h"
#include "NeuralNets/TKohonenNetwork.h"
#include "common/Assert.h"
#include "common/TException.h"
#include "legacy/FileInfo.h"
#include "legacy/OndKohonenFiler.h"

namespace {

int Report(const std::string& message) {
  std::fputs(message.c_str(), stderr);
  std::fputc('\n', stderr);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kohport;
  if (argc != 3) {
    std::fputs("Usage: kohport OldFileName NewFileName\n", stderr);
    return 1;
  }
  // A destination whose reader has gone (a closed pipe) must fail its write
  // and be reported, not end the process by signal.
  std::signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<TKohonenNetwork> PtrKohLoaded;
  std::unique_ptr<TOndKohFileInfo> PtrFinLoaded;
  try {
    TOndKohonenFiler::LoadKohonen(argv[1], PtrKohLoaded, PtrFinLoaded);
  } catch (const TException& e) {
    return Report(e.Message());
  }
  KOH_ASSERT(PtrKohLoaded != nullptr, "PtrKohLoaded != 0");
  KOH_ASSERT(PtrFinLoaded != nullptr, "PtrFinLoaded != 0");

  try {
    FileTools tools;
    tools.SaveNetwork(argv[2], PtrKohLoaded.get(), nullptr);
  } catch (FileTools::Error& e) {
    return Report(e.message);
  }
  PtrKohLoaded.reset();
  PtrFinLoaded.reset();
  return 0;
}
