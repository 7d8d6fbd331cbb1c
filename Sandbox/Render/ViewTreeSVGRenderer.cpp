#include "Sandbox/Render/ViewTreeSVGRenderer.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "QVRAdKit/ClientKit/WebImageView.h"
#include "QVRAdKit/UI/Button.h"
#include "QVRAdKit/UI/ImageView.h"
#include "QVRAdKit/UI/Label.h"
#include "Sandbox/Text/MarkupText.h"

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

class Writer {
 public:
  std::string out;

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
    out += indent + "<rect" + box(drawn) +
           " fill=\"#E0E0E0\" stroke=\"#808080\" stroke-dasharray=\"2 2\"/>\n";
    out += indent + "<text x=\"" + number(drawn.minX() + drawn.width() / 2) + "\" y=\"" +
           number(drawn.minY() + drawn.height() / 2) +
           "\" font-size=\"8\" text-anchor=\"middle\" dominant-baseline=\"middle\" "
           "fill=\"#404040\">" +
           ViewTreeSVGRenderer::escapeXML(image->name) + "</text>\n";
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
    for (const auto& line : layout.lines) {
      out += indent + "<text x=\"" + number(x) + "\" y=\"" + number(top + layout.lineHeight * 0.8) +
             "\" font-family=\"" + ViewTreeSVGRenderer::escapeXML(label.font().name) +
             "\" font-size=\"" + number(layout.pointSize) + "\" text-anchor=\"" + anchor +
             "\" fill=\"" + hex(color) + "\"" + opacity("fill", color.alpha) +
             " xml:space=\"preserve\">" + ViewTreeSVGRenderer::escapeXML(line) + "</text>\n";
      top += layout.lineHeight;
    }
  }

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
  const UI::Size size = root.bounds().size;
  Writer writer;
  writer.out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "width=\"" +
      formatNumber(size.width) + "\" height=\"" + formatNumber(size.height) + "\" viewBox=\"0 0 " +
      formatNumber(size.width) + " " + formatNumber(size.height) + "\">\n";
  writer.view(root, 1);
  writer.out += "</svg>\n";
  return writer.out;
}

}  // namespace QVRAdKit::Sandbox
