// qvtk-logger-sim: a logger unit on a pseudo-terminal, for trying the real-time monitor and
// the logger commands without hardware.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/logger_sim/logger_sim.h"

namespace {

int Usage(const char* why) {
    std::fprintf(stderr,
                 "qvtk-logger-sim: %s\n"
                 "usage: qvtk-logger-sim --link PATH [--fault MODE[:N]] [--block 512|1024]\n"
                 "                       [--seconds S] [--ident TEXT] [--log FILE] [--seed N]\n"
                 "  MODE: silent, short, garbled, unsupported, logging, memcard[:N] (error in\n"
                 "        the first N live answers), drop[:N] (unplugged after N answers,\n"
                 "        default 3), slow[:MS] (MS between the bytes of an answer, default 600)\n",
                 why);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    qvtk::sim::LoggerSimOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return Usage(("a value is missing after " + a).c_str());
        const std::string v = argv[++i];
        if (a == "--link") {
            o.link = v;
        } else if (a == "--fault") {
            if (!qvtk::sim::ParseLoggerFault(v, o)) return Usage(("unknown fault " + v).c_str());
        } else if (a == "--block") {
            o.blockBytes = std::atoi(v.c_str());
            if (o.blockBytes < 1 || o.blockBytes > 4096) return Usage("--block takes 1 to 4096");
        } else if (a == "--seconds") {
            o.seconds = std::atof(v.c_str());
        } else if (a == "--ident") {
            o.ident = v;
        } else if (a == "--log") {
            o.log = v;
        } else if (a == "--seed") {
            o.seed = uint32_t(std::strtoul(v.c_str(), nullptr, 10));
        } else {
            return Usage(("unknown option " + a).c_str());
        }
    }
    if (o.link.empty()) return Usage("--link PATH is needed");
    return qvtk::sim::RunLoggerSim(o);
}
