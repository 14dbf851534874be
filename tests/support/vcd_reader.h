// A small VCD reader, enough to check the trace writer: scopes, variables, and each
// variable's value changes with their times.
#pragma once

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

struct VcdVar {
    std::string scope, name, type;
    int width = 0;
};

struct VcdChange {
    long long t;
    std::string value;  // binary digits, or x
};

struct Vcd {
    std::string timescale;
    std::map<std::string, VcdVar> vars;                     // by id
    std::map<std::string, std::vector<VcdChange>> changes;  // by "scope.name"
    bool timesIncrease = true;
    bool ok = false;

    const std::vector<VcdChange>& of(const std::string& scope, const std::string& name) const {
        static const std::vector<VcdChange> none;
        auto it = changes.find(scope + "." + name);
        return it == changes.end() ? none : it->second;
    }
};

inline Vcd parseVcd(const std::string& text) {
    Vcd vcd;
    std::istringstream in(text);
    std::string tok, scope;
    long long t = 0, lastT = -1;
    bool defs = true;
    while (in >> tok) {
        if (defs) {
            if (tok == "$timescale") {
                std::string a;
                while (in >> a && a != "$end")
                    vcd.timescale += (vcd.timescale.empty() ? "" : " ") + a;
            } else if (tok == "$scope") {
                std::string kind, end;
                in >> kind >> scope >> end;
            } else if (tok == "$upscope") {
                std::string end;
                in >> end;
                scope.clear();
            } else if (tok == "$var") {
                VcdVar v;
                std::string id, a;
                in >> v.type >> v.width >> id >> v.name;
                while (in >> a && a != "$end") {
                }
                v.scope = scope;
                vcd.vars[id] = v;
            } else if (tok == "$enddefinitions") {
                std::string end;
                in >> end;
                defs = false;
            } else if (tok[0] == '$') {
                std::string a;
                while (in >> a && a != "$end") {
                }
            }
            continue;
        }
        if (tok == "$dumpvars" || tok == "$end") continue;
        std::string value, id;
        if (tok[0] == '#') {
            t = std::stoll(tok.substr(1));
            if (t <= lastT) vcd.timesIncrease = false;
            lastT = t;
            continue;
        } else if (tok[0] == 'b') {
            value = tok.substr(1);
            in >> id;
        } else {
            value = tok.substr(0, 1);
            id = tok.substr(1);
        }
        auto it = vcd.vars.find(id);
        if (it == vcd.vars.end()) return vcd;  // unknown id: not well formed
        vcd.changes[it->second.scope + "." + it->second.name].push_back({t, value});
    }
    vcd.ok = !defs;
    return vcd;
}

}  // namespace testsupport
