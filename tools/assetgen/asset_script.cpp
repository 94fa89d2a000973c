#include "asset_script.h"

#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <set>

namespace sarn::assets {

Rgba Colour::At(double t) const {
  auto mix = [t](std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
  };
  return {mix(from.r, to.r), mix(from.g, to.g), mix(from.b, to.b), mix(from.a, to.a)};
}

namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// "#RRGGBB" or "#RRGGBBAA".
bool IsColourLiteral(std::string_view w) {
  if (w.size() != 7 && w.size() != 9) return false;
  if (w[0] != '#') return false;
  for (char c : w.substr(1))
    if (!IsHex(c)) return false;
  return true;
}

// "A..B" into its two sides; a word without ".." is both.
std::pair<std::string_view, std::string_view> Sides(std::string_view w) {
  std::size_t dots = w.find("..");
  if (dots == std::string_view::npos) return {w, w};
  return {w.substr(0, dots), w.substr(dots + 2)};
}

// A word that begins with '#' starts a comment, unless it is a colour or a range from one.
std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i == start) break;
    std::string_view word = line.substr(start, i - start);
    if (word[0] == '#' && !IsColourLiteral(Sides(word).first)) break;
    words.emplace_back(word);
  }
  return words;
}

std::optional<double> ParseDouble(std::string_view s) {
  double v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<int> ParseInt(std::string_view s) {
  int v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

class Parser {
 public:
  explicit Parser(Script& script) : script_(script) {}

  // A symbol becomes usable once its block ends, so no symbol can draw itself.
  bool Run(std::string_view text) {
    std::size_t pos = 0;
    while (pos <= text.size()) {
      std::size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      ++line_;
      const bool wasSymbol = block_ == Block::Symbol;
      const bool wasOpen = block_ != Block::None;
      if (!Line(Words(text.substr(pos, end - pos)))) return false;
      if (!wasOpen && block_ != Block::None) blockLine_ = line_;
      if (wasSymbol && block_ == Block::None) symbols_[pending_.first] = pending_.second;
      pos = end + 1;
    }
    if (block_ != Block::None) {
      line_ = blockLine_;
      return Fail("this block has no \"end\"");
    }
    return true;
  }

  std::string error;

 private:
  enum class Block { None, Symbol, Drawing, Sound };

  bool Fail(const std::string& what) {
    error = "line " + std::to_string(line_) + ": " + what;
    return false;
  }

  bool Line(const std::vector<std::string>& w) {
    if (w.empty()) return true;
    if (w[0] == "end") {
      if (block_ == Block::None || w.size() != 1) return Fail("\"end\" without a block");
      block_ = Block::None;
      return true;
    }
    switch (block_) {
      case Block::None: return TopLevel(w);
      case Block::Symbol:
      case Block::Drawing: return DrawingLine(w);
      case Block::Sound: return SoundLine(w);
    }
    return false;
  }

  // key=value words after the positional ones; every key must be known and given once.
  bool Options(const std::vector<std::string>& w, std::size_t from, const std::set<std::string>& known,
               std::map<std::string, std::string>& out) {
    for (std::size_t i = from; i < w.size(); ++i) {
      std::size_t eq = w[i].find('=');
      if (eq == std::string::npos) return Fail("expected key=value, got \"" + w[i] + "\"");
      std::string key = w[i].substr(0, eq);
      if (!known.contains(key)) return Fail("unknown key \"" + key + "\"");
      if (!out.emplace(key, w[i].substr(eq + 1)).second) return Fail("\"" + key + "\" given twice");
    }
    return true;
  }

  bool IntOption(const std::map<std::string, std::string>& o, const std::string& key, int low, int high, int& v,
                 bool required) {
    auto it = o.find(key);
    if (it == o.end()) return required ? Fail("needs " + key + "=") : true;
    auto n = ParseInt(it->second);
    if (!n || *n < low || *n > high)
      return Fail(key + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    v = *n;
    return true;
  }

  bool DoubleOption(const std::map<std::string, std::string>& o, const std::string& key, double low, double high,
                    double& v, bool required) {
    auto it = o.find(key);
    if (it == o.end()) return required ? Fail("needs " + key + "=") : true;
    auto n = ParseDouble(it->second);
    if (!n || *n < low || *n > high) return Fail(key + " out of range");
    v = *n;
    return true;
  }

  bool Size(const std::string& text, Output& out) {
    std::size_t x = text.find('x');
    auto w = ParseInt(std::string_view(text).substr(0, x == std::string::npos ? 0 : x));
    auto h = x == std::string::npos ? std::nullopt : ParseInt(std::string_view(text).substr(x + 1));
    if (!w || !h || *w < 1 || *h < 1 || *w > 4096 || *h > 4096) return Fail("size must be WIDTHxHEIGHT");
    out.width = *w;
    out.height = *h;
    return true;
  }

  bool NameFree(const std::string& name) {
    if (colours_.contains(name) || symbols_.contains(name) || name == "none")
      return Fail("\"" + name + "\" is already a name");
    return true;
  }

  bool TopLevel(const std::vector<std::string>& w) {
    const std::string& what = w[0];
    if (what == "colour") {
      if (w.size() != 3) return Fail("colour NAME #RRGGBB");
      if (!NameFree(w[1])) return false;
      auto c = SingleColour(w[2]);
      if (!c) return Fail("\"" + w[2] + "\" is not a colour");
      colours_[w[1]] = *c;
      return true;
    }
    if (what == "symbol") {
      if (w.size() != 2) return Fail("symbol NAME");
      if (!NameFree(w[1])) return false;
      script_.symbols.push_back(Symbol{w[1], {}});
      pending_ = {w[1], static_cast<int>(script_.symbols.size()) - 1};
      block_ = Block::Symbol;
      return true;
    }
    Output out;
    std::map<std::string, std::string> o;
    if (what == "picture") {
      out.kind = OutputKind::Picture;
      if (w.size() < 2 || !Options(w, 2, {"size", "scale"}, o)) return w.size() < 2 ? Fail("picture PATH size=WxH") : false;
      if (!o.contains("size")) return Fail("needs size=");
      if (!Size(o["size"], out) || !IntOption(o, "scale", 1, 16, out.scale, false)) return false;
      block_ = Block::Drawing;
    } else if (what == "animation") {
      out.kind = OutputKind::Animation;
      if (w.size() < 2 || !Options(w, 2, {"size", "scale", "frames", "rate"}, o))
        return w.size() < 2 ? Fail("animation PATH size=WxH frames=N rate=N") : false;
      if (!o.contains("size")) return Fail("needs size=");
      // The animation control refuses to play fewer than two frames.
      if (!Size(o["size"], out) || !IntOption(o, "scale", 1, 16, out.scale, false) ||
          !IntOption(o, "frames", 2, 1000, out.frames, true) || !IntOption(o, "rate", 1, 60, out.rate, true))
        return false;
      block_ = Block::Drawing;
    } else if (what == "icon") {
      out.kind = OutputKind::Icon;
      if (w.size() < 2 || !Options(w, 2, {"sizes"}, o)) return w.size() < 2 ? Fail("icon PATH sizes=16,32") : false;
      if (!o.contains("sizes")) return Fail("needs sizes=");
      std::string_view list = o["sizes"];
      while (!list.empty()) {
        std::size_t comma = list.find(',');
        auto n = ParseInt(list.substr(0, comma));
        if (!n || *n < 1 || *n > 256) return Fail("icon sizes are 1..256");
        out.sizes.push_back(*n);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
      }
      if (out.sizes.empty()) return Fail("needs sizes=");
      block_ = Block::Drawing;
    } else if (what == "sound") {
      out.kind = OutputKind::Sound;
      if (w.size() < 2 || !Options(w, 2, {"length", "rate"}, o)) return w.size() < 2 ? Fail("sound PATH length=MS") : false;
      if (!DoubleOption(o, "length", 1, 10000, out.lengthMs, true) ||
          !IntOption(o, "rate", 8000, 96000, out.sampleRate, false))
        return false;
      block_ = Block::Sound;
    } else {
      return Fail("unknown statement \"" + what + "\"");
    }
    out.path = w[1];
    if (!PathAllowed(out.path)) return Fail("path must be relative, without \"..\": \"" + out.path + "\"");
    for (const Output& other : script_.outputs)
      if (other.path == out.path) return Fail("\"" + out.path + "\" is written twice");
    script_.outputs.push_back(std::move(out));
    return true;
  }

  static bool PathAllowed(const std::string& p) {
    if (p.empty() || p[0] == '/' || p.find('\\') != std::string::npos || p.find(':') != std::string::npos) return false;
    std::string_view rest = p;
    while (!rest.empty()) {
      std::size_t slash = rest.find('/');
      std::string_view part = rest.substr(0, slash);
      if (part.empty() || part == "." || part == "..") return false;
      rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return true;
  }

  std::optional<Rgba> SingleColour(const std::string& w) const {
    if (w == "none") return Rgba{0, 0, 0, 0};
    if (IsColourLiteral(w)) {
      auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(std::stoi(w.substr(at, 2), nullptr, 16)); };
      return Rgba{byte(1), byte(3), byte(5), w.size() == 9 ? byte(7) : std::uint8_t{255}};
    }
    if (auto it = colours_.find(w); it != colours_.end()) return it->second;
    return std::nullopt;
  }

  bool ColourWord(const std::string& w, Colour& out) {
    auto [a, b] = Sides(w);
    auto from = SingleColour(std::string(a)), to = SingleColour(std::string(b));
    if (!from || !to) return Fail("\"" + w + "\" is not a colour");
    out = {*from, *to};
    return true;
  }

  bool NumberWord(const std::string& w, Number& out) {
    auto [a, b] = Sides(w);
    auto from = ParseDouble(a), to = ParseDouble(b);
    if (!from || !to) return Fail("\"" + w + "\" is not a number");
    out = {*from, *to};
    return true;
  }

  std::vector<Shape>& Shapes() {
    return block_ == Block::Symbol ? script_.symbols[static_cast<std::size_t>(pending_.second)].shapes
                                   : script_.outputs.back().shapes;
  }

  bool DrawingLine(std::vector<std::string> w) {
    Shape shape;
    if (w[0][0] == '@') {
      // @F-L
      std::string_view r = std::string_view(w[0]).substr(1);
      std::size_t dash = r.find('-');
      auto first = ParseInt(r.substr(0, dash));
      auto last = dash == std::string_view::npos ? first : ParseInt(r.substr(dash + 1));
      if (!first || !last || *first < 0 || *last < *first) return Fail("frames are @FIRST-LAST");
      if (block_ == Block::Drawing) {
        const Output& out = script_.outputs.back();
        if (out.kind != OutputKind::Animation) return Fail("frames only in an animation or a symbol");
        if (*last >= out.frames) return Fail("frame " + std::to_string(*last) + " is past the last frame");
      }
      shape.firstFrame = *first;
      shape.lastFrame = *last;
      w.erase(w.begin());
      if (w.empty()) return Fail("frames of what?");
    }
    struct Form { ShapeKind kind; std::size_t numbers; bool coloured; };
    static const std::map<std::string, Form> forms = {
        {"fill", {ShapeKind::Fill, 0, true}},   {"rect", {ShapeKind::Rect, 4, true}},
        {"ellipse", {ShapeKind::Ellipse, 4, true}}, {"ring", {ShapeKind::Ring, 4, true}},
        {"line", {ShapeKind::Line, 5, true}},   {"use", {ShapeKind::Use, 3, false}}};
    auto form = forms.find(w[0]);
    if (form == forms.end()) return Fail("unknown shape \"" + w[0] + "\"");
    shape.kind = form->second.kind;
    std::size_t at = 1;
    if (shape.kind == ShapeKind::Use) {
      if (w.size() < 2) return Fail("use SYMBOL X Y SIZE");
      auto it = symbols_.find(w[1]);
      if (it == symbols_.end()) return Fail("no symbol \"" + w[1] + "\" defined above");
      shape.symbol = it->second;
      at = 2;
    }
    // key=value words may stand anywhere after the shape's name.
    std::vector<std::string> positional(w.begin() + static_cast<std::ptrdiff_t>(at), w.end()), options{w[0]};
    std::erase_if(positional, [&](const std::string& word) {
      if (word.find('=') == std::string::npos) return false;
      options.push_back(word);
      return true;
    });
    if (positional.size() != form->second.numbers + (form->second.coloured ? 1 : 0))
      return Fail("\"" + w[0] + "\" takes " + std::to_string(form->second.numbers) + " numbers" +
                  (form->second.coloured ? " and a colour" : ""));
    for (std::size_t i = 0; i < form->second.numbers; ++i) {
      Number n;
      if (!NumberWord(positional[i], n)) return false;
      shape.args.push_back(n);
    }
    if (form->second.coloured && !ColourWord(positional.back(), shape.colour)) return false;
    std::map<std::string, std::string> o;
    if (!Options(options, 1, shape.kind == ShapeKind::Rect ? std::set<std::string>{"radius"} : std::set<std::string>{}, o))
      return false;
    if (o.contains("radius") && !NumberWord(o["radius"], shape.radius)) return false;
    Shapes().push_back(std::move(shape));
    return true;
  }

  bool SoundLine(const std::vector<std::string>& w) {
    if (w[0] != "click") return Fail("a sound holds clicks");
    std::map<std::string, std::string> o;
    if (!Options(w, 1, {"at", "length", "pitch", "level"}, o)) return false;
    Output& out = script_.outputs.back();
    Click c;
    if (!DoubleOption(o, "at", 0, out.lengthMs, c.atMs, true) || !DoubleOption(o, "length", 0.1, 1000, c.lengthMs, false) ||
        !DoubleOption(o, "pitch", 20, 20000, c.pitchHz, false) || !DoubleOption(o, "level", 0, 1, c.level, false))
      return false;
    out.clicks.push_back(c);
    return true;
  }

  Script& script_;
  int line_ = 0, blockLine_ = 0;
  Block block_ = Block::None;
  std::map<std::string, Rgba> colours_;
  std::map<std::string, int> symbols_;
  std::pair<std::string, int> pending_;  // the symbol being defined
};

}  // namespace

bool ParseScript(std::string_view text, Script& script, std::string& error) {
  script = {};
  Parser parser(script);
  if (!parser.Run(text)) {
    error = parser.error;
    return false;
  }
  return true;
}

}  // namespace sarn::assets
