#include "emulator/FaultPlan.h"

#include <charconv>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace sondesk {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

bool ParseCount(const std::string& text, std::uint64_t& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ParsePercent(std::string text, double& percent) {
  if (text.empty() || text.back() != '%') return false;
  text.pop_back();
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return false;
  char* end = nullptr;
  percent = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && percent > 0.0 && percent <= 100.0;
}

FaultRule* RuleOf(FaultPlan& plan, const std::string& kind) {
  if (kind == "noack") return &plan.noAck;
  if (kind == "badsum") return &plan.badChecksum;
  if (kind == "nak") return &plan.nak;
  if (kind == "busy") return &plan.busy;
  if (kind == "unplug") return &plan.unplug;
  if (kind == "shortread") return &plan.shortRead;
  if (kind == "cut") return &plan.cut;
  if (kind == "lnoack") return &plan.loaderNoAck;
  if (kind == "lerror") return &plan.loaderError;
  return nullptr;
}

bool ParseItem(const std::string& item, FaultPlan& plan) {
  const std::size_t mark = item.find_first_of("@/:");
  const std::string kind = item.substr(0, mark);
  if (kind == "seed") {
    return mark != std::string::npos && item[mark] == ':' && ParseCount(item.substr(mark + 1), plan.seed);
  }
  FaultRule* rule = RuleOf(plan, kind);
  if (rule == nullptr) return false;
  if (mark == std::string::npos) {
    *rule = FaultRule::Always();
    return true;
  }
  const std::string arg = item.substr(mark + 1);
  std::uint64_t n = 0;
  double percent = 0;
  switch (item[mark]) {
    case '@':
      if (!ParseCount(arg, n) || n == 0) return false;
      *rule = FaultRule::Once(n);
      return true;
    case '/':
      if (!ParseCount(arg, n) || n == 0 || rule == &plan.unplug || rule == &plan.cut) return false;
      *rule = FaultRule::Every(n);
      return true;
    default:
      if (!ParsePercent(arg, percent) || rule == &plan.unplug || rule == &plan.cut) return false;
      *rule = FaultRule::Chance(percent);
      return true;
  }
}

}  // namespace

bool FaultPlan::Any() const {
  for (const FaultRule* r :
       {&noAck, &badChecksum, &nak, &busy, &unplug, &shortRead, &cut, &loaderNoAck, &loaderError}) {
    if (r->mode != FaultRule::Mode::Never) return true;
  }
  return false;
}

bool ParseFaultList(const std::string& text, FaultPlan& plan, std::string& error) {
  for (const std::string& item : Split(text, ',')) {
    if (item.empty()) continue;
    if (!ParseItem(item, plan)) {
      error = "unknown fault '" + item +
              "' (noack, badsum, nak, busy, unplug, shortread, cut, lnoack, lerror; each alone, @N, /N or :P%;"
              " seed:N)";
      return false;
    }
  }
  return true;
}

bool ParseVirtualPortQuery(const std::string& query, FaultPlan& plan, std::string& error) {
  for (const std::string& pair : Split(query, '&')) {
    if (pair.empty()) continue;
    const std::size_t eq = pair.find('=');
    const std::string key = pair.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : pair.substr(eq + 1);
    if (key == "faults") {
      if (!ParseFaultList(value, plan, error)) return false;
    } else if (key == "strict") {
      if (value != "0" && value != "1" && !value.empty()) {
        error = "strict takes 0 or 1, not '" + value + "'";
        return false;
      }
      plan.strict = value != "0";
    } else if (key == "stats") {
      plan.statsFile = value;
    } else {
      error = "unknown virtual port option '" + key + "' (faults, strict, stats)";
      return false;
    }
  }
  return true;
}

}  // namespace sondesk
