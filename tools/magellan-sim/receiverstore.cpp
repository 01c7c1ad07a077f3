// SPDX-License-Identifier: GPL-3.0-or-later
#include "receiverstore.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {
std::vector<std::string> splitBars(const std::string& line) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : line) {
        if (c == '|') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

bool ReceiverStore::load(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const auto f = splitBars(line);
        if (f.size() != 10 || (f[0] != "W" && f[0] != "T")) {
            *error = path + ":" + std::to_string(number) + ": expected 10 fields starting with W or T";
            return false;
        }
        if (f[0] == "W")
            waypoints.push_back({f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9]});
        else
            track.push_back({f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9]});
    }
    return true;
}

bool ReceiverStore::save(const std::string& path) const {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        for (const auto& w : waypoints)
            out << "W|" << w.lat << '|' << w.latHem << '|' << w.lon << '|' << w.lonHem << '|' << w.alt << '|'
                << w.unit << '|' << w.name << '|' << w.message << '|' << w.icon << '\n';
        for (const auto& t : track)
            out << "T|" << t.lat << '|' << t.latHem << '|' << t.lon << '|' << t.lonHem << '|' << t.alt << '|'
                << t.unit << '|' << t.time << '|' << t.track << '|' << t.date << '\n';
        if (!out.flush())
            return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

void ReceiverStore::putWaypoint(const SimWaypoint& w) {
    for (auto& existing : waypoints)
        if (existing.name == w.name) {
            existing = w;
            return;
        }
    waypoints.push_back(w);
}

bool ReceiverStore::deleteWaypoint(const std::string& name) {
    for (auto it = waypoints.begin(); it != waypoints.end(); ++it)
        if (it->name == name) {
            waypoints.erase(it);
            return true;
        }
    return false;
}

std::string checksumHex(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body)
        sum ^= c;
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", sum & 0xFF);
    return buf;
}

std::string frame(const std::string& body) {
    return "$" + body + "*" + checksumHex(body) + "\r\n";
}

std::string escapeField(const std::string& field) {
    std::string out;
    for (char c : field) {
        if (c == ',')
            out += "\x1b"
                   "2C";
        else
            out += c;
    }
    return out;
}

std::string unescapeField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\x1b' && i + 2 < field.size() && hexDigit(field[i + 1]) >= 0 &&
            hexDigit(field[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(field[i + 1]) * 16 + hexDigit(field[i + 2]));
            i += 2;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::vector<std::string> splitFields(const std::string& body) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : body) {
        if (c == ',') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}
