// SPDX-License-Identifier: GPL-3.0-or-later
// magellan-sim: answers like a Magellan hand-held receiver on a pseudo-terminal.
//
// Prints the terminal's path as its first line on standard output (and nothing
// else there), then serves clients until SIGTERM or SIGINT. The terminal stays
// usable across clients: each one may open and close it in turn.
//
// Protocol, as the receivers speak it: sentences "$" body "*" hh CR LF, hh the
// XOR of the body's bytes in upper-case hex. Handshaking is off until the host
// sends "$PMGNCMD,HANDON"; while it is on, every sentence other than
// "$PMGNCSM" is acknowledged with "$PMGNCSM,hh" (hh the checksum of the
// sentence received) and each sentence the receiver sends is repeated until the
// host acknowledges it.
#include "receiverstore.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

volatile std::sig_atomic_t gStop = 0;
void onSignal(int) {
    gStop = 1;
}

const char* const kUsage =
    "usage: magellan-sim [options]\n"
    "  --data FILE        waypoints and track points to serve (see receiverstore.h)\n"
    "  --dump FILE        write the waypoint store there after every change\n"
    "  --log FILE         append every sentence received from the host\n"
    "  --model NAME       model name in the version reply (default SporTrak)\n"
    "  --product N        product number (default from the model: Meridian 33,\n"
    "                     SporTrak Map/Pro 36, SporTrak 37, Meridian Color 39,\n"
    "                     eXplorist 100 110; others 37)\n"
    "  --serial TEXT      serial number (default 12345678)\n"
    "  --software TEXT    software version field (default \"VER 1 06\")\n"
    "  --name-length N    characters of a waypoint name the receiver keeps (default\n"
    "                     from the model: GPS 315/320, ColorTrak, Map 410 6; others 8)\n"
    "  --no-pacing        send as fast as possible (default: 4800 baud)\n"
    "  --baud N           pacing rate in baud (default 4800)\n"
    "  --delay MS         wait before answering each sentence\n"
    "  --fault MODE       silent | unable | stop-after=N | noise=N | badsum=N\n"
    "                     silent: answers nothing; unable: refuses every command\n"
    "                     but the version request; stop-after=N: a download stops\n"
    "                     after N lines; noise=N / badsum=N: every N-th data line\n"
    "                     has a garbled character / a wrong checksum;\n"
    "                     unable-all: refuses the version request too;\n"
    "                     refuse-uploads: refuses every waypoint sent;\n"
    "                     unable-after=N: a download refuses after N lines;\n"
    "                     stream-on: a download goes on to its end whatever the\n"
    "                     host sends meanwhile (what it sends is dropped);\n"
    "                     endless: a download never ends (the points again and\n"
    "                     again, no end line); nmea=N: an NMEA sentence after\n"
    "                     every N-th data line; short-version: the version reply\n"
    "                     holds only the product number\n";

struct Options {
    std::string data, dump, log;
    std::string model = "SporTrak";
    int product = -1;
    std::string serial = "12345678";
    std::string software = "VER 1 06";
    bool pacing = true;
    int baud = 4800;
    int delayMs = 0;
    int nameLength = -1;
    bool silent = false, unable = false, unableAll = false, refuseUploads = false;
    bool streamOn = false, endless = false, shortVersion = false;
    long stopAfter = -1, unableAfter = -1;
    int noiseEvery = 0, badsumEvery = 0, nmeaEvery = 0;
};

int productFor(const std::string& model) {
    if (model == "Meridian")
        return 33;
    if (model == "SporTrak Map/Pro")
        return 36;
    if (model == "Meridian Color")
        return 39;
    if (model == "eXplorist 100")
        return 110;
    return 37;
}

// Characters of a waypoint name a receiver keeps: the older models hold 6,
// the Map 330, Meridian and SporTrak families 8.
size_t nameLengthFor(const std::string& model) {
    if (model == "GPS 315/320" || model == "ColorTrak" || model == "Map 410")
        return 6;
    return 8;
}

// An uploaded altitude as the receiver sends it back: 7 characters, zero
// padded ("28" -> "0000028", "-12" -> "-000012"). Text that is not a whole
// number is kept as sent.
std::string storedAltitude(const std::string& text) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0')
        return text;
    char buf[32];
    std::snprintf(buf, sizeof buf, v < 0 ? "-%06ld" : "%07ld", v < 0 ? -v : v);
    return buf;
}

long long nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

void sleepUntil(long long ns) {
    timespec ts{static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR && !gStop) {
    }
}

class Simulator {
public:
    Simulator(int master, Options opt, ReceiverStore store)
        : master_(master), opt_(std::move(opt)), store_(std::move(store)) {}

    void run() {
        while (!gStop) {
            std::string line;
            if (!nextSentence(-1, &line))
                continue;
            handle(line);
        }
    }

private:
    // Reads what the host sent within timeoutMs (-1: until something comes)
    // into complete sentences. False when nothing arrived.
    bool readSome(int timeoutMs) {
        pollfd p{master_, POLLIN, 0};
        const int r = poll(&p, 1, timeoutMs);
        if (r <= 0)
            return false;
        char buf[4096];
        const ssize_t n = read(master_, buf, sizeof buf);
        if (n <= 0) {
            // No client holds the terminal (or it hung up): do not spin.
            usleep(20000);
            return false;
        }
        input_.append(buf, static_cast<size_t>(n));
        for (size_t nl; (nl = input_.find('\n')) != std::string::npos;) {
            std::string line = input_.substr(0, nl);
            input_.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const size_t dollar = line.find('$');
            if (dollar != std::string::npos)
                queue_.push_back(line.substr(dollar));
        }
        return true;
    }

    bool nextSentence(int timeoutMs, std::string* out) {
        if (queue_.empty())
            readSome(timeoutMs);
        if (queue_.empty())
            return false;
        *out = queue_.front();
        queue_.pop_front();
        return true;
    }

    // Writes all bytes, paced to the baud rate when pacing is on. False when the
    // terminal accepted nothing for 5 s (nobody reads it).
    bool writeRaw(const std::string& data) {
        if (opt_.pacing && pacedUntil_ < nowNs())
            pacedUntil_ = nowNs();
        size_t off = 0;
        while (off < data.size() && !gStop) {
            const size_t chunk = opt_.pacing ? std::min<size_t>(16, data.size() - off) : data.size() - off;
            size_t done = 0;
            while (done < chunk) {
                const ssize_t n = write(master_, data.data() + off + done, chunk - done);
                if (n > 0) {
                    done += static_cast<size_t>(n);
                    continue;
                }
                if (n < 0 && errno != EAGAIN && errno != EINTR)
                    return false;
                pollfd p{master_, POLLOUT, 0};
                if (poll(&p, 1, 5000) <= 0)
                    return false;
            }
            off += chunk;
            if (opt_.pacing) {
                pacedUntil_ += static_cast<long long>(chunk) * 10 * 1000000000LL / opt_.baud;
                sleepUntil(pacedUntil_);
            }
        }
        return true;
    }

    // Sends one sentence; while handshaking, repeats it until the host
    // acknowledges it (three tries, 1 s each).
    bool send(const std::string& sentence) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (!writeRaw(sentence))
                return false;
            if (!handshake_)
                return true;
            const std::string want = "PMGNCSM," + sentence.substr(sentence.rfind('*') + 1, 2);
            const long long until = nowNs() + 1000000000LL;
            while (nowNs() < until && !gStop) {
                for (auto it = queue_.begin(); it != queue_.end(); ++it) {
                    if (it->compare(1, want.size(), want) == 0) {
                        queue_.erase(it);
                        return true;
                    }
                }
                readSome(static_cast<int>((until - nowNs()) / 1000000) + 1);
            }
        }
        std::fprintf(stderr, "magellan-sim: no acknowledgement for %s", sentence.c_str());
        return true;
    }

    void reply(const std::string& body) { send(frame(body)); }

    void saveStore() {
        if (!opt_.dump.empty() && !store_.save(opt_.dump))
            std::fprintf(stderr, "magellan-sim: cannot write %s\n", opt_.dump.c_str());
    }

    // One data line of a download, with the configured faults applied.
    std::string dataLine(const std::string& body) {
        ++dataLines_;
        std::string line = frame(body);
        if (opt_.badsumEvery > 0 && dataLines_ % opt_.badsumEvery == 0) {
            const size_t star = line.rfind('*');
            line.replace(star + 1, 2, checksumHex(body + "Z"));
        }
        if (opt_.noiseEvery > 0 && dataLines_ % opt_.noiseEvery == 0 && line.size() > 8)
            line[line.size() / 2] = static_cast<char>(line[line.size() / 2] ^ 0x01);
        return line;
    }

    // Sends the data lines of a download (the bodies), with the configured
    // faults, then its end line.
    void sendDownload(const std::vector<std::string>& bodies) {
        long sent = 0;
        do {
            for (const auto& body : bodies) {
                if (opt_.stopAfter >= 0 && sent >= opt_.stopAfter)
                    return;
                if (opt_.unableAfter >= 0 && sent >= opt_.unableAfter) {
                    reply("PMGNCMD,UNABLE");
                    return;
                }
                if (!send(dataLine(body)))
                    return;
                ++sent;
                if (opt_.nmeaEvery > 0 && sent % opt_.nmeaEvery == 0 && !send(nmeaSentence(sent)))
                    return;
                if (opt_.streamOn)
                    ignoreHost();
            }
        } while (opt_.endless && !bodies.empty() && !gStop);
        reply("PMGNCMD,END");
    }

    // A receiver busy sending does not listen: what the host sent meanwhile is lost.
    void ignoreHost() {
        while (readSome(0)) {
        }
        queue_.clear();
    }

    // The position fix a receiver with its NMEA output on sends between answers.
    static std::string nmeaSentence(long n) {
        char time[16];
        std::snprintf(time, sizeof time, "%02ld%02ld%02ld.00", (12 + n / 3600) % 24, n / 60 % 60, n % 60);
        return frame(std::string("GPGGA,") + time + ",3555.123,N,08650.456,W,1,05,1.8,212.4,M,-31.2,M,,");
    }

    void sendWaypoints() {
        std::vector<std::string> bodies;
        for (const auto& w : store_.waypoints)
            bodies.push_back("PMGNWPL," + w.lat + "," + w.latHem + "," + w.lon + "," + w.lonHem + "," +
                             w.alt + "," + w.unit + "," + escapeField(w.name) + "," + escapeField(w.message) +
                             "," + w.icon);
        sendDownload(bodies);
    }

    void sendTrack(bool longForm) {
        std::vector<std::string> bodies;
        for (const auto& t : store_.track) {
            std::string body = "PMGNTRK," + t.lat + "," + t.latHem + "," + t.lon + "," + t.lonHem + "," +
                               t.alt + "," + t.unit + "," + t.time + ",A";
            if (longForm)
                body += "," + escapeField(t.track) + "," + t.date;
            bodies.push_back(body);
        }
        sendDownload(bodies);
    }

    void handle(const std::string& line) {
        if (!opt_.log.empty()) {
            if (FILE* f = std::fopen(opt_.log.c_str(), "ab")) {
                std::fprintf(f, "%s\n", line.c_str());
                std::fclose(f);
            }
        }
        const size_t star = line.rfind('*');
        if (line.size() < 4 || line[0] != '$' || star == std::string::npos || star + 3 != line.size())
            return; // not a sentence: a receiver ignores it
        const std::string body = line.substr(1, star - 1);
        const std::string sum = line.substr(star + 1, 2);
        if (checksumHex(body) != sum)
            return;
        if (body.rfind("PMGNCSM,", 0) == 0 || opt_.silent)
            return;
        if (handshake_)
            writeRaw(frame("PMGNCSM," + sum));
        if (opt_.delayMs > 0)
            usleep(static_cast<useconds_t>(opt_.delayMs) * 1000);

        const auto f = splitFields(body);
        const std::string& kw = f[0];
        const std::string cmd = f.size() > 1 ? f[1] : "";
        if (opt_.unableAll || (opt_.refuseUploads && kw == "PMGNWPL")) {
            reply("PMGNCMD,UNABLE");
            return;
        }
        if (kw == "PMGNCMD" && cmd == "VERSION") {
            const int product = opt_.product >= 0 ? opt_.product : productFor(opt_.model);
            if (opt_.shortVersion)
                reply("PMGNVER," + std::to_string(product));
            else
                reply("PMGNVER," + std::to_string(product) + "," + opt_.software + "," +
                      escapeField(opt_.model) + ",0," + opt_.serial);
            return;
        }
        if (kw == "PMGNCMD" && cmd == "HANDON") {
            handshake_ = true;
            return;
        }
        if (kw == "PMGNCMD" && cmd == "HANDOFF") {
            handshake_ = false;
            return;
        }
        if (opt_.unable) {
            reply("PMGNCMD,UNABLE");
            return;
        }
        dataLines_ = 0;
        if (kw == "PMGNCMD") {
            if (cmd == "NMEAON" || cmd == "NMEAOFF")
                return;
            if (cmd == "TON") {
                reply("PMGNCMD,TON");
                return;
            }
            if (cmd == "WAYPOINT") {
                sendWaypoints();
                return;
            }
            if (cmd == "TRACK") {
                sendTrack(f.size() > 2 && f[2] == "2");
                return;
            }
            if (cmd == "DELETE" && f.size() > 2 && f[2] == "WAYPOINT") {
                store_.waypoints.clear();
                saveStore();
                reply("PMGNCMD,END");
                return;
            }
        } else if (kw == "PMGNWPL" && f.size() >= 10) {
            // A receiver keeps the altitude as a number and the texts at their
            // own lengths, and sends them back that way.
            const size_t nameLength =
                opt_.nameLength >= 0 ? static_cast<size_t>(opt_.nameLength) : nameLengthFor(opt_.model);
            store_.putWaypoint({f[1], f[2], f[3], f[4], storedAltitude(f[5]), f[6],
                                unescapeField(f[7]).substr(0, nameLength), unescapeField(f[8]).substr(0, 30),
                                unescapeField(f[9])});
            saveStore();
            return;
        } else if (kw == "PMGNDWP" && f.size() >= 2) {
            if (store_.deleteWaypoint(unescapeField(f[1]))) {
                saveStore();
                return;
            }
        }
        reply("PMGNCMD,UNABLE");
    }

    int master_;
    Options opt_;
    ReceiverStore store_;
    bool handshake_ = false;
    std::string input_;
    std::deque<std::string> queue_;
    long long pacedUntil_ = 0;
    long dataLines_ = 0;
};

bool parseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc)
                return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--data") {
            if (!value(&o->data))
                return false;
        } else if (a == "--dump") {
            if (!value(&o->dump))
                return false;
        } else if (a == "--log") {
            if (!value(&o->log))
                return false;
        } else if (a == "--model") {
            if (!value(&o->model))
                return false;
        } else if (a == "--serial") {
            if (!value(&o->serial))
                return false;
        } else if (a == "--software") {
            if (!value(&o->software))
                return false;
        } else if (a == "--product") {
            if (!value(&v))
                return false;
            o->product = std::atoi(v.c_str());
        } else if (a == "--baud") {
            if (!value(&v) || (o->baud = std::atoi(v.c_str())) <= 0)
                return false;
        } else if (a == "--name-length") {
            if (!value(&v) || (o->nameLength = std::atoi(v.c_str())) <= 0)
                return false;
        } else if (a == "--delay") {
            if (!value(&v))
                return false;
            o->delayMs = std::atoi(v.c_str());
        } else if (a == "--no-pacing") {
            o->pacing = false;
        } else if (a == "--fault") {
            if (!value(&v))
                return false;
            const size_t eq = v.find('=');
            const std::string mode = v.substr(0, eq);
            const long n = eq == std::string::npos ? 0 : std::atol(v.c_str() + eq + 1);
            // The modes without a number.
            const std::pair<const char*, bool Options::*> switches[] = {
                {"silent", &Options::silent},
                {"unable", &Options::unable},
                {"unable-all", &Options::unableAll},
                {"refuse-uploads", &Options::refuseUploads},
                {"stream-on", &Options::streamOn},
                {"endless", &Options::endless},
                {"short-version", &Options::shortVersion}};
            bool switched = false;
            for (const auto& [name, member] : switches)
                if (mode == name)
                    switched = o->*member = true;
            if (switched)
                continue;
            if (mode == "unable-after" && eq != std::string::npos && n >= 0)
                o->unableAfter = n;
            else if (mode == "nmea" && n > 0)
                o->nmeaEvery = static_cast<int>(n);
            else if (mode == "stop-after" && eq != std::string::npos && n >= 0)
                o->stopAfter = n;
            else if (mode == "noise" && n > 0)
                o->noiseEvery = static_cast<int>(n);
            else if (mode == "badsum" && n > 0)
                o->badsumEvery = static_cast<int>(n);
            else
                return false;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!parseOptions(argc, argv, &opt)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    ReceiverStore store;
    std::string error;
    if (!opt.data.empty() && !store.load(opt.data, &error)) {
        std::fprintf(stderr, "magellan-sim: %s\n", error.c_str());
        return 1;
    }

    // End with whoever started us: a crashed test must not leave receivers behind.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("magellan-sim: pseudo-terminal");
        return 1;
    }
    const char* slaveName = ptsname(master);
    // Holding the terminal's other end open keeps it alive between clients, and
    // raw mode keeps it from echoing what the host sends before the host sets it.
    const int slave = open(slaveName, O_RDWR | O_NOCTTY);
    if (slave < 0) {
        std::perror("magellan-sim: open terminal");
        return 1;
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B4800);
    cfsetospeed(&tio, B4800);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    std::printf("%s\n", slaveName);
    std::fflush(stdout);

    if (!opt.dump.empty())
        store.save(opt.dump);
    Simulator sim(master, opt, std::move(store));
    sim.run();
    close(slave);
    close(master);
    return 0;
}
