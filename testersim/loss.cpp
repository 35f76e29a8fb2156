#include "testersim/loss.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace testersim {

double LossAt(const std::vector<LossPoint>& points, double mhz) {
    if (points.empty()) return 0;
    std::vector<LossPoint> sorted = points;
    std::sort(sorted.begin(), sorted.end(),
              [](const LossPoint& a, const LossPoint& b) { return a.mhz < b.mhz; });
    if (mhz <= sorted.front().mhz) return sorted.front().db;
    if (mhz >= sorted.back().mhz) return sorted.back().db;
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        const LossPoint& a = sorted[i - 1];
        const LossPoint& b = sorted[i];
        if (mhz <= b.mhz) return a.db + (b.db - a.db) * (mhz - a.mhz) / (b.mhz - a.mhz);
    }
    return sorted.back().db;
}

namespace {

// Just enough JSON for a fixture file: any value, read into a tree.
struct Json {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    double number = 0;
    std::string text;
    std::vector<Json> items;       // an array's, or an object's values
    std::vector<std::string> keys; // an object's, one per value

    const Json* Member(const std::string& key) const {
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (keys[i] == key) return &items[i];
        return nullptr;
    }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : text_(text) {}

    bool Document(Json& value) {
        if (!Value(value, 0)) return false;
        Blanks();
        return at_ == text_.size() || Fail("text after the end");
    }
    const std::string& Error() const { return error_; }

private:
    static constexpr int kMaxDepth = 32;

    bool Fail(const std::string& what) {
        const auto line =
            1 + std::count(text_.begin(), text_.begin() + static_cast<long>(at_), '\n');
        error_ = "line " + std::to_string(line) + ": " + what;
        return false;
    }
    void Blanks() {
        while (at_ < text_.size() &&
               std::string_view(" \t\r\n").find(text_[at_]) != std::string_view::npos)
            ++at_;
    }
    bool Take(char c) {
        Blanks();
        if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
        return false;
    }
    bool Word(const char* word) {
        const std::string_view w(word);
        if (text_.compare(at_, w.size(), w) != 0) return false;
        at_ += w.size();
        return true;
    }

    bool Value(Json& value, int depth) {
        if (depth > kMaxDepth) return Fail("nested too deep");
        Blanks();
        if (at_ >= text_.size()) return Fail("the text ends where a value should be");
        const char c = text_[at_];
        if (c == '{') return Object(value, depth);
        if (c == '[') return Array(value, depth);
        if (c == '"') return value.kind = Json::Kind::String, String(value.text);
        if (Word("true") || Word("false")) return value.kind = Json::Kind::Bool, true;
        if (Word("null")) return true;
        return Number(value);
    }
    bool Number(Json& value) {
        const std::size_t start = at_;
        while (at_ < text_.size() &&
               std::string_view("+-0123456789.eE").find(text_[at_]) != std::string_view::npos)
            ++at_;
        const char* first = text_.data() + start;
        const char* last = text_.data() + at_;
        const auto result = std::from_chars(first, last, value.number);
        if (start == at_ || result.ec != std::errc() || result.ptr != last ||
            !std::isfinite(value.number)) {
            at_ = start;
            return Fail("not a JSON value");
        }
        value.kind = Json::Kind::Number;
        return true;
    }
    bool String(std::string& out) {
        ++at_;
        while (at_ < text_.size() && text_[at_] != '"') {
            char c = text_[at_++];
            if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in a string");
            if (c == '\\') {
                if (at_ >= text_.size()) break;
                const char e = text_[at_++];
                const std::string_view from("\"\\/bfnrt"), to("\"\\/\b\f\n\r\t");
                if (from.find(e) != std::string_view::npos) {
                    c = to[from.find(e)];
                } else if (e == 'u' && at_ + 4 <= text_.size()) {
                    at_ += 4; // names only: any other character reads as '?'
                    c = '?';
                } else {
                    return Fail("bad escape in a string");
                }
            }
            out += c;
        }
        if (at_ >= text_.size()) return Fail("a string is not closed");
        ++at_;
        return true;
    }
    bool Array(Json& value, int depth) {
        ++at_;
        value.kind = Json::Kind::Array;
        if (Take(']')) return true;
        do {
            value.items.emplace_back();
            if (!Value(value.items.back(), depth + 1)) return false;
        } while (Take(','));
        return Take(']') || Fail("expected ',' or ']'");
    }
    bool Object(Json& value, int depth) {
        ++at_;
        value.kind = Json::Kind::Object;
        if (Take('}')) return true;
        do {
            Blanks();
            std::string key;
            if (at_ >= text_.size() || text_[at_] != '"') return Fail("expected a key in quotes");
            if (!String(key)) return false;
            if (!Take(':')) return Fail("expected ':' after \"" + key + "\"");
            value.keys.push_back(key);
            value.items.emplace_back();
            if (!Value(value.items.back(), depth + 1)) return false;
        } while (Take(','));
        return Take('}') || Fail("expected ',' or '}'");
    }

    const std::string& text_;
    std::size_t at_ = 0;
    std::string error_;
};

bool PointFrom(const Json& item, std::size_t index, LossPoint& point, std::string& error) {
    const std::string where = "point " + std::to_string(index + 1);
    const Json* mhz = item.Member("mhz");
    const Json* db = item.Member("loss_db");
    if (item.kind != Json::Kind::Object || !mhz || !db || mhz->kind != Json::Kind::Number ||
        db->kind != Json::Kind::Number) {
        error = where + ": needs \"mhz\" and \"loss_db\" numbers";
        return false;
    }
    if (mhz->number < 2400 || mhz->number > 2484) {
        error = where + ": mhz outside 2400..2484";
        return false;
    }
    if (db->number < 0 || db->number > 100) {
        error = where + ": loss_db outside 0..100";
        return false;
    }
    point = {mhz->number, db->number};
    return true;
}

} // namespace

bool ParseLossFile(const std::string& text, const std::string& where, LossFile& file,
                   std::string& error) {
    JsonReader reader(text);
    Json root;
    if (!reader.Document(root)) {
        error = where + ": " + reader.Error();
        return false;
    }
    const Json* name = root.Member("name");
    const Json* points = root.Member("points");
    if (root.kind != Json::Kind::Object || !points || points->kind != Json::Kind::Array ||
        points->items.empty() || (name && name->kind != Json::Kind::String)) {
        error =
            where +
            ": expected {\"name\": \"...\", \"points\": [{\"mhz\": ..., \"loss_db\": ...}, ...]}";
        return false;
    }
    LossFile parsed;
    if (name) parsed.name = name->text;
    for (std::size_t i = 0; i < points->items.size(); ++i) {
        LossPoint point;
        if (!PointFrom(points->items[i], i, point, error)) {
            error = where + ": " + error;
            return false;
        }
        for (const LossPoint& other : parsed.points) {
            if (other.mhz == point.mhz) {
                error =
                    where + ": point " + std::to_string(i + 1) + ": a second point at the same mhz";
                return false;
            }
        }
        parsed.points.push_back(point);
    }
    file = parsed;
    return true;
}

bool LoadLossFile(const std::string& path, LossFile& file, std::string& error) {
    std::error_code ignored;
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path, ignored)) {
        error = path + ": cannot be read";
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseLossFile(text, path, file, error);
}

} // namespace testersim
