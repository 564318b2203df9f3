#include "convert/pattern_text.hpp"

#include <string_view>

#include "inspect/millimetres.hpp"
#include "inspect/pictures.hpp"
#include "inspect/text_out.hpp"

namespace kvn::convert {
namespace {

using formats::NeedleOp;
using formats::Pattern;

// Gathers text and hands it on in pieces: large enough that each write is
// cheap, small enough that a document of any length costs no memory.
class Pieces {
 public:
  static constexpr std::size_t kPiece = std::size_t{1} << 16;
  explicit Pieces(ByteSink& sink) : sink_(sink) { text_.reserve(kPiece + 256); }
  Pieces(const Pieces&) = delete;
  Pieces& operator=(const Pieces&) = delete;

  Pieces& operator+=(std::string_view s) {
    text_ += s;
    if (text_.size() >= kPiece) flush();
    return *this;
  }
  /// False once the sink has failed: the rest would go nowhere.
  bool good() const { return sink_.good(); }
  void flush() {
    if (text_.empty()) return;
    sink_.put({reinterpret_cast<const std::uint8_t*>(text_.data()), text_.size()});
    text_.clear();
  }

 private:
  ByteSink& sink_;
  std::string text_;
};

template <void (*Stream)(const Pattern&, ByteSink&)>
std::vector<std::uint8_t> whole(const Pattern& p) {
  MemorySink sink;
  Stream(p, sink);
  return std::move(sink.bytes);
}

// Tenths of a millimetre as millimetres, as short as exact: "12.3", "-0.5", "7".
std::string mm(std::int64_t tenths) {
  std::string s = inspect::millimetres(tenths);
  if (s.ends_with(".0")) s.resize(s.size() - 2);
  return s;
}

std::string hex_colour(const inspect::Rgb& c) { return inspect::hex_colour(c.r, c.g, c.b); }

// The names' escapes as this document has always written them.
std::string json_text(std::string_view s) {
  return inspect::json_string(s, inspect::JsonEscapes::kLowerHex);
}

// Calls on_event(event, block) with blocks counted from 1; a colour change
// belongs to the block it ends. Stops once `s` has failed.
template <class F>
void each_event(const Pattern& p, const Pieces& s, F&& on_event) {
  std::size_t block = 1;
  for (const auto& e : p.events) {
    if (!s.good()) return;
    on_event(e, block);
    if (e.op == NeedleOp::kColourChange) ++block;
  }
}

}  // namespace

void stream_svg(const Pattern& p, ByteSink& sink) {
  Pieces s(sink);
  const auto ext = formats::stitch_extents(p);
  // A margin of 1 mm keeps the round line caps of the outermost stitches inside.
  constexpr std::int64_t kMargin = 10;
  const std::int64_t x = ext.empty ? 0 : ext.min_x, y = ext.empty ? 0 : ext.min_y;
  const std::int64_t w = ext.empty ? 0 : std::int64_t{ext.max_x} - ext.min_x;
  const std::int64_t h = ext.empty ? 0 : std::int64_t{ext.max_y} - ext.min_y;
  s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<svg xmlns=\"http://www.w3.org/2000/svg\"\n"
       "     xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\"\n"
       "     version=\"1.1\" width=\"";
  s += mm(w + 2 * kMargin) + "mm\" height=\"" + mm(h + 2 * kMargin) + "mm\" viewBox=\"" +
       mm(x - kMargin) + " " + mm(y - kMargin) + " " + mm(w + 2 * kMargin) + " " +
       mm(h + 2 * kMargin) + "\">\n<title>" + inspect::xml_text(p.name) + "</title>\n";
  const std::size_t blocks = formats::block_count(p);
  std::size_t at = 0;
  std::int64_t px = 0, py = 0;
  for (std::size_t b = 0; b < blocks && s.good(); ++b) {
    const auto colour = inspect::thread_colour(p, b);
    s += "<g id=\"block-" + std::to_string(b + 1) + "\" stroke=\"" + hex_colour(colour) + "\"";
    if (b < p.threads.size() && !p.threads[b].name.empty())
      s += " inkscape:label=\"" + inspect::xml_text(p.threads[b].name) + "\"";
    s += " fill=\"none\" stroke-width=\"0.3\" stroke-linecap=\"round\" "
         "stroke-linejoin=\"round\">\n";
    // The block's one path goes out as it grows: it may hold every stitch.
    bool path_open = false;
    bool pen_down = false;  // the last point of the path is the needle's position
    for (; at < p.events.size(); ++at) {
      const auto& e = p.events[at];
      if (e.op == NeedleOp::kColourChange) {
        ++at;
        break;
      }
      if (e.op == NeedleOp::kStitch) {
        if (!pen_down) {
          s += path_open ? " M" : "<path d=\"M";
          s += mm(px) + " " + mm(py);
        }
        path_open = true;
        s += " L" + mm(e.x) + " " + mm(e.y);
        pen_down = true;
      } else if (e.x != px || e.y != py) {
        pen_down = false;
      }
      px = e.x;
      py = e.y;
    }
    if (path_open) s += "\"/>\n";
    s += "</g>\n";
  }
  s += "</svg>\n";
  s.flush();
}

void stream_csv(const Pattern& p, ByteSink& sink) {
  Pieces s(sink);
  s += "index,x,y,op,block\n";
  std::size_t i = 0;
  each_event(p, s, [&](const formats::NeedleEvent& e, std::size_t block) {
    s += std::to_string(i++) + "," + std::to_string(e.x) + "," + std::to_string(e.y) + "," +
         inspect::op_name(e.op) + "," + std::to_string(block) + "\n";
  });
  s.flush();
}

void stream_json(const Pattern& p, ByteSink& sink) {
  Pieces s(sink);
  s += "{\n  \"name\": " + json_text(p.name) + ",\n  \"unit\": \"0.1 mm, y down\",\n";
  s += "  \"threads\": [";
  for (std::size_t i = 0; i < p.threads.size(); ++i) {
    const auto& t = p.threads[i];
    const auto c = inspect::thread_colour(p, i);
    s += std::string(i ? "," : "") + "\n    {\"r\": " + std::to_string(t.r) +
         ", \"g\": " + std::to_string(t.g) + ", \"b\": " + std::to_string(t.b) + ", \"rgb\": \"" +
         hex_colour(c) + "\", \"name\": " + json_text(t.name) +
         ", \"catalogue\": " + json_text(t.catalogue) + "}";
  }
  s += p.threads.empty() ? "],\n" : "\n  ],\n";
  s += "  \"events\": [";
  bool first = true;
  each_event(p, s, [&](const formats::NeedleEvent& e, std::size_t block) {
    s += std::string(first ? "" : ",") + "\n    {\"x\": " + std::to_string(e.x) +
         ", \"y\": " + std::to_string(e.y) + ", \"op\": \"" + inspect::op_name(e.op) +
         "\", \"block\": " + std::to_string(block) + "}";
    first = false;
  });
  s += first ? "]\n}\n" : "\n  ]\n}\n";
  s.flush();
}

std::vector<std::uint8_t> write_svg(const Pattern& p) { return whole<stream_svg>(p); }
std::vector<std::uint8_t> write_csv(const Pattern& p) { return whole<stream_csv>(p); }
std::vector<std::uint8_t> write_json(const Pattern& p) { return whole<stream_json>(p); }

}  // namespace kvn::convert
