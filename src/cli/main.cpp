#include "app/app_path.h"
#include "cli/cli.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const kalibrix::cli::CliResult result = kalibrix::cli::runCli(
        QCoreApplication::arguments(), {kalibrix::appPath(), kalibrix::cli::readAllStdin});
    std::fwrite(result.err.data(), 1, result.err.size(), stderr);
    std::fwrite(result.out.data(), 1, result.out.size(), stdout);
    return std::fflush(stdout) == 0 ? result.status : kalibrix::cli::kExitFailure;
}
