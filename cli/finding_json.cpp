#include "cli/finding_json.h"

namespace cli {

void JsonFindings(JsonWriter& json, const char* key, const std::vector<check::Finding>& findings) {
    json.Key(key).BeginArray();
    for (const auto& f : findings) {
        json.BeginObject();
        json.Key("code").String(check::CodeName(f.code));
        json.Key("severity").String(check::SeverityName(check::SeverityOf(f.code)));
        if (f.level > 0) json.Key("level").Int(f.level);
        if (f.tile > 0) json.Key("tile").Int(f.tile);
        json.Key("message").String(check::FindingText(f));
        json.EndObject();
    }
    json.EndArray();
}

}  // namespace cli
