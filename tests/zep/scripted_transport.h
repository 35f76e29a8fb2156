#pragma once
// A transport for tests without a host: records each command line and answers from a
// script by command name ("at@bt:reset"); unscripted commands get "0" CR LF "OK" CR LF and
// every version query "1, 1, 0, OK" unless told otherwise.

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "transport/itransportservice.h"

namespace testzep {

class ScriptedTransport : public ITransportService {
public:
    T_Result DoSendReceive(const std::string& command) override {
        sent.push_back(command);
        const std::string name = command.substr(0, command.find('('));
        if (auto queued = queue.find(name); queued != queue.end() && !queued->second.empty()) {
            T_Result r = queued->second.front();
            queued->second.pop_front();
            return r;
        }
        if (name == "at@bt:get_opcode_version") {
            const int opcode = std::stoi(command.substr(name.size() + 1));
            if (auto v = versions.find(opcode); v != versions.end()) return v->second;
            return T_Result{0, "1\r\n1\r\n0\r\nOK\r\n"};
        }
        if (auto r = replies.find(name); r != replies.end()) return r->second;
        return T_Result{0, "0\r\nOK\r\n"};
    }

    void Reply(const std::string& name, const std::string& text, uint8_t code = 0) {
        replies[name] = T_Result{code, text};
    }
    // Used once, before the standing reply.
    void ReplyOnce(const std::string& name, const std::string& text, uint8_t code = 0) {
        queue[name].push_back(T_Result{code, text});
    }
    void Versions(int opcode, int request, int confirm, int code = 0) {
        versions[opcode] = T_Result{0, std::to_string(request) + "\r\n" + std::to_string(confirm) +
                                           "\r\n" + std::to_string(code) + "\r\nOK\r\n"};
    }
    void FailVersions(int opcode, uint8_t code = 1) { versions[opcode] = T_Result{code, ""}; }

    std::size_t Count(const std::string& name) const {
        std::size_t n = 0;
        for (const std::string& c : sent)
            n += c.substr(0, c.find('(')) == name;
        return n;
    }
    // Sent lines other than version queries.
    std::vector<std::string> Operations() const {
        std::vector<std::string> lines;
        for (const std::string& c : sent)
            if (c.rfind("at@bt:get_opcode_version(", 0) != 0) lines.push_back(c);
        return lines;
    }

    std::vector<std::string> sent;
    std::map<std::string, T_Result> replies;
    std::map<std::string, std::deque<T_Result>> queue;
    std::map<int, T_Result> versions;
};

} // namespace testzep
