#include "quorvel/HookClient.h"

#include <csignal>

int main(int argc, char** argv)
{
    // An application that closes its end early must not kill us before the fallback is printed.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        velquist::HookClient::run(argc, argv);
    } catch (...) {
        // The agent only ever sees status 0; a hook failure must not stop its work.
    }
    return 0;
}
