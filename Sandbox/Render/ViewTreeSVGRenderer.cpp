#include "Sandbox/Render/ViewTreeSVGRenderer.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "QVRAdKit/ClientKit/WebImageView.h"
#include "QVRAdKit/UI/Button.h"
#include "QVRAdKit/UI/ImageView.h"
#include "QVRAdKit/UI/Label.h"
#include "Sandbox/Render/SandboxIcons.h"
#include "Sandbox/Text/MarkupText.h"
#include "Sandbox/Text/Utf8.h"

namespace QVRAdKit::Sandbox {
namespace {

std::string hex(const UI::Color& color) {
  const auto channel = [](double value) {
    return static_cast<int>(std::lround(std::fmax(0.0, std::fmin(1.0, value)) * 255));
  };
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", channel(color.red), channel(color.green),
                channel(color.blue));
  return text;
}

std::string base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t left = bytes.size() - i;
    unsigned triple = static_cast<unsigned char>(bytes[i]) << 16;
    if (left > 1) triple |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (left > 2) triple |= static_cast<unsigned char>(bytes[i + 2]);
    text += kDigits[(triple >> 18) & 63];
    text += kDigits[(triple >> 12) & 63];
    text += left > 1 ? kDigits[(triple >> 6) & 63] : '=';
    text += left > 2 ? kDigits[triple & 63] : '=';
  }
  return text;
}

class Writer {
 public:
  explicit Writer(const ViewTreeSVGRenderer::Options& options) : options_(options) {}

  std::string out;

  // The @font-face rules of the faces drawn, each cut to the characters drawn in it.
  [[nodiscard]] std::string fontFaces() const {
    std::string rules;
    for (const auto& [face, codePoints] : drawnCharacters_) {
      const std::string bytes = face->subset(codePoints);
      if (bytes.empty()) continue;
      rules += "@font-face{font-family:\"";
      rules += face->familyName();
      rules += "\";font-weight:";
      rules += face->isBold() ? "700" : "400";
      rules += ";src:url(data:font/ttf;base64,";
      rules += base64(bytes);
      rules += ") format(\"truetype\")}";
    }
    if (rules.empty()) return {};
    return "  <defs><style>" + rules + "</style></defs>\n";
  }

  void view(const UI::View& view, int depth) {
    if (view.isHidden() || view.alpha() <= 0) return;
    const UI::Rect frame = view.frameInRoot();
    const std::string indent(static_cast<size_t>(depth) * 2, ' ');
    out += indent + "<g";
    if (!view.accessibilityIdentifier().empty()) {
      out += " id=\"" + ViewTreeSVGRenderer::escapeXML(view.accessibilityIdentifier()) + "\"";
    }
    if (view.alpha() < 1) out += " opacity=\"" + number(view.alpha()) + "\"";
    out += ">\n";
    const UI::Layer& layer = view.layer();
    const std::string radius =
        layer.cornerRadius > 0 ? " rx=\"" + number(layer.cornerRadius) + "\"" : std::string();
    shadow(view, frame, radius, indent + "  ");
    if (view.backgroundColor() && view.backgroundColor()->alpha > 0) {
      out += indent + "  <rect" + box(frame) + radius + " fill=\"" + hex(*view.backgroundColor()) +
             "\"" + opacity("fill", view.backgroundColor()->alpha) + "/>\n";
    }
    std::string inner = indent + "  ";
    if (view.clipsToBounds()) {
      const std::string id = "clip" + std::to_string(++clipCount_);
      out += inner + "<clipPath id=\"" + id + "\"><rect" + box(frame) + radius + "/></clipPath>\n";
      out += inner + "<g clip-path=\"url(#" + id + ")\">\n";
      inner += "  ";
    }
    content(view, frame, inner);
    for (const auto& subview : view.subviews()) {
      view_(*subview, depth + 1 + (view.clipsToBounds() ? 1 : 0));
    }
    if (view.clipsToBounds()) out += indent + "  </g>\n";
    if (layer.borderWidth > 0 && layer.borderColor.alpha > 0) {
      out += indent + "  <rect" + box(frame) + radius + " fill=\"none\" stroke=\"" +
             hex(layer.borderColor) + "\"" + opacity("stroke", layer.borderColor.alpha) +
             " stroke-width=\"" + number(layer.borderWidth) + "\"/>\n";
    }
    out += indent + "</g>\n";
  }

 private:
  void view_(const UI::View& child, int depth) { view(child, depth); }

  static std::string number(double value) { return ViewTreeSVGRenderer::formatNumber(value); }

  static std::string box(const UI::Rect& rect) {
    return " x=\"" + number(rect.minX()) + "\" y=\"" + number(rect.minY()) + "\" width=\"" +
           number(rect.width()) + "\" height=\"" + number(rect.height()) + "\"";
  }

  static std::string opacity(const char* what, double alpha) {
    if (alpha >= 1) return {};
    return std::string(" ") + what + "-opacity=\"" + number(alpha) + "\"";
  }

  // A layer's drop shadow: its shape (background or border) in the shadow's colour, moved by the
  // offset and blurred by the radius (a Gaussian of half the radius, as the phone draws it).
  void shadow(const UI::View& view, const UI::Rect& frame, const std::string& radius,
              const std::string& indent) {
    const UI::Layer& layer = view.layer();
    const double alpha = layer.shadowOpacity * layer.shadowColor.alpha;
    const bool hasShape = (view.backgroundColor() && view.backgroundColor()->alpha > 0) ||
                          (layer.borderWidth > 0 && layer.borderColor.alpha > 0);
    if (!(alpha > 0) || !hasShape) return;
    std::string id = "shadow";
    id += std::to_string(++shadowCount_);
    out += indent + "<filter id=\"" + id +
           "\" x=\"-50%\" y=\"-50%\" width=\"200%\" height=\"200%\"><feGaussianBlur "
           "stdDeviation=\"" +
           number(std::fmax(0.0, layer.shadowRadius) / 2) + "\"/></filter>\n";
    UI::Rect moved = frame;
    moved.origin.x += layer.shadowOffset.width;
    moved.origin.y += layer.shadowOffset.height;
    out += indent + "<rect" + box(moved) + radius + " fill=\"" + hex(layer.shadowColor) + "\"" +
           opacity("fill", std::fmin(1.0, alpha)) + " filter=\"url(#" + id + ")\"/>\n";
  }

  void content(const UI::View& view, const UI::Rect& frame, const std::string& indent) {
    if (const auto* label = dynamic_cast<const UI::Label*>(&view)) {
      text(*label, frame, indent);
      return;
    }
    std::optional<UI::Image> image;
    std::optional<UI::Rect> imageRect;
    if (const auto* imageView = dynamic_cast<const UI::ImageView*>(&view)) {
      image = imageView->image();
      imageRect = imageView->imageRect();
      if (!image) {
        if (const auto* web = dynamic_cast<const WebImageView*>(&view)) image = web->placeholder();
      }
    } else if (const auto* button = dynamic_cast<const UI::Button*>(&view)) {
      image = button->currentImage();
    }
    if (!image) return;
    UI::Rect drawn = frame;
    if (imageRect) {
      drawn.origin.x += imageRect->minX();
      drawn.origin.y += imageRect->minY();
      drawn.size = imageRect->size;
    }
    icon(*image, drawn, indent);
  }

  // An image as its catalogue drawing, scaled into its rectangle.
  void icon(const UI::Image& image, const UI::Rect& drawn, const std::string& indent) {
    const SandboxIcons::Icon drawing =
        SandboxIcons::find(image.name).value_or(SandboxIcons::unknown());
    if (!(drawing.viewBox.width > 0) || !(drawing.viewBox.height > 0)) return;
    out += indent + "<g transform=\"translate(" + number(drawn.minX()) + " " +
           number(drawn.minY()) + ") scale(" + scale(drawn.width() / drawing.viewBox.width) + " " +
           scale(drawn.height() / drawing.viewBox.height) + ")\"><title>" +
           ViewTreeSVGRenderer::escapeXML(image.name) + "</title>" + drawing.shapes + "</g>\n";
  }

  // A scale factor, with more decimals than a coordinate: it multiplies the icon's coordinates.
  static std::string scale(double factor) {
    if (!std::isfinite(factor)) return "0";
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", factor);
    std::string result = text;
    while (result.back() == '0') result.pop_back();
    if (result.back() == '.') result.pop_back();
    return result;
  }

  void text(const UI::Label& label, const UI::Rect& frame, const std::string& indent) {
    const UI::TextLayout layout = label.textLayout();
    if (layout.lines.empty()) return;
    // Centred vertically in the bounds; each line's baseline at 80% of its height.
    double top = frame.minY() + (frame.height() - layout.size.height) / 2;
    const char* anchor = "start";
    double x = frame.minX();
    switch (label.textAlignment()) {
      case UI::TextAlignment::center:
        anchor = "middle";
        x = frame.minX() + frame.width() / 2;
        break;
      case UI::TextAlignment::right:
        anchor = "end";
        x = frame.maxX();
        break;
      default:
        break;
    }
    const UI::Color& color = label.textColor();
    std::string font = " font-family=\"";
    font += ViewTreeSVGRenderer::escapeXML(label.font().name) + "\"";
    std::set<char32_t>* drawn = nullptr;
    if (options_.fonts) {
      const FontFace& face = options_.fonts->face(label.font());
      font = " font-family=\"";
      font += ViewTreeSVGRenderer::escapeXML(face.familyName()) + "\"";
      if (face.isBold()) font += " font-weight=\"bold\"";
      if (options_.embedFonts) drawn = &drawnCharacters_[&face];
    }
    for (const auto& line : layout.lines) {
      const std::string shown = ViewTreeSVGRenderer::escapeXML(line);
      if (drawn) collectCharacters(MarkupText::sanitized(line), *drawn);
      out += indent;
      out += "<text x=\"";
      out += number(x);
      out += "\" y=\"";
      out += number(top + layout.baseline);
      out += "\"";
      out += font;
      out += " font-size=\"";
      out += number(layout.pointSize);
      out += "\" text-anchor=\"";
      out += anchor;
      out += "\" fill=\"";
      out += hex(color);
      out += "\"";
      out += opacity("fill", color.alpha);
      out += " xml:space=\"preserve\">";
      out += shown;
      out += "</text>\n";
      top += layout.lineHeight;
    }
  }

  static void collectCharacters(std::string_view text, std::set<char32_t>& into) {
    for (size_t at = 0; at < text.size();) {
      const Utf8::Step step = Utf8::next(text, at);
      into.insert(step.codePoint);
      at += step.length;
    }
  }

  const ViewTreeSVGRenderer::Options& options_;
  std::map<const FontFace*, std::set<char32_t>> drawnCharacters_;
  int shadowCount_ = 0;
  int clipCount_ = 0;
};

}  // namespace

std::string ViewTreeSVGRenderer::formatNumber(double value) {
  if (!std::isfinite(value)) return "0";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string result = text;
  while (result.back() == '0') result.pop_back();
  if (result.back() == '.') result.pop_back();
  if (result == "-0") result = "0";
  return result;
}

std::string ViewTreeSVGRenderer::escapeXML(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : MarkupText::sanitized(text)) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      case '\r':
        escaped += "&#13;";  // a raw one would be read back as a line feed
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string ViewTreeSVGRenderer::render(const UI::View& root) {
  return render(root, Options{});
}

std::string ViewTreeSVGRenderer::render(const UI::View& root, const Options& options) {
  const UI::Size size = root.bounds().size;
  const double margin = std::fmax(0.0, options.topMargin);
  const std::string height = formatNumber(size.height + margin);
  Writer writer(options);
  writer.view(root, 1);
  std::string document =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "width=\"";
  document += formatNumber(size.width) + "\" height=\"" + height + "\" viewBox=\"0 " +
              formatNumber(-margin) + " " + formatNumber(size.width) + " " + height + "\">\n";
  document += writer.fontFaces();
  document += writer.out;
  document += "</svg>\n";
  return document;
}

}  // namespace QVRAdKit::Sandbox
