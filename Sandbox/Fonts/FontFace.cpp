#include "Sandbox/Fonts/FontFace.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>

#include <fstream>
#include <iterator>
#include <utility>

namespace QVRAdKit::Sandbox {

struct FontFace::Impl {
  std::string path;
  std::string bytes;  // the file, which HarfBuzz's blob reads in place
  std::string family;
  bool bold = false;
  double unitsPerEm = 1000;
  double ascender = 0;  // font units
  double descender = 0;
  double height = 0;
  hb_blob_t* blob = nullptr;
  hb_face_t* face = nullptr;
  hb_font_t* font = nullptr;

  ~Impl() {
    hb_font_destroy(font);
    hb_face_destroy(face);
    hb_blob_destroy(blob);
  }
};

namespace {

// FreeType's library and face, released on every path out of open().
struct FreeTypeFace {
  FT_Library library = nullptr;
  FT_Face face = nullptr;

  ~FreeTypeFace() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

}  // namespace

FontFace::FontFace(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

FontFace::~FontFace() = default;

FontFace::Opened FontFace::open(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return "cannot read the font file " + path;
  std::string bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>{});
  return fromBytes(std::move(bytes), path);
}

FontFace::Opened FontFace::fromBytes(std::string bytes, const std::string& name) {
  const std::string& path = name;
  auto impl = std::make_unique<Impl>();
  impl->path = path;
  impl->bytes = std::move(bytes);

  FreeTypeFace freeType;
  if (FT_Init_FreeType(&freeType.library) != 0) return std::string("FreeType did not start");
  if (FT_New_Memory_Face(freeType.library, reinterpret_cast<const FT_Byte*>(impl->bytes.data()),
                         static_cast<FT_Long>(impl->bytes.size()), 0, &freeType.face) != 0 ||
      !FT_IS_SCALABLE(freeType.face)) {
    return path + " is not a scalable font";
  }
  const FT_Face face = freeType.face;
  impl->family = face->family_name ? face->family_name : "";
  impl->bold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
  impl->unitsPerEm = face->units_per_EM;
  impl->ascender = face->ascender;
  impl->descender = -face->descender;
  impl->height = face->height;

  impl->blob = hb_blob_create(impl->bytes.data(), static_cast<unsigned>(impl->bytes.size()),
                              HB_MEMORY_MODE_READONLY, nullptr, nullptr);
  impl->face = hb_face_create(impl->blob, 0);
  impl->font = hb_font_create(impl->face);
  // Advances in font units, unhinted: a run's width is exactly proportional to the point size.
  const int units = static_cast<int>(impl->unitsPerEm);
  hb_font_set_scale(impl->font, units, units);
  hb_font_make_immutable(impl->font);
  return std::shared_ptr<const FontFace>(new FontFace(std::move(impl)));
}

double FontFace::advance(std::string_view text, double pointSize) const {
  if (text.empty()) return 0;
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf8(buffer, text.data(), static_cast<int>(text.size()), 0,
                     static_cast<int>(text.size()));
  hb_buffer_guess_segment_properties(buffer);
  hb_shape(impl_->font, buffer, nullptr, 0);
  unsigned count = 0;
  const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
  long units = 0;
  for (unsigned i = 0; i < count; ++i) units += positions[i].x_advance;
  hb_buffer_destroy(buffer);
  return static_cast<double>(units) * pointSize / impl_->unitsPerEm;
}

double FontFace::ascender(double pointSize) const {
  return impl_->ascender * pointSize / impl_->unitsPerEm;
}

double FontFace::descender(double pointSize) const {
  return impl_->descender * pointSize / impl_->unitsPerEm;
}

double FontFace::lineHeight(double pointSize) const {
  return impl_->height * pointSize / impl_->unitsPerEm;
}

const std::string& FontFace::familyName() const {
  return impl_->family;
}

bool FontFace::isBold() const {
  return impl_->bold;
}

const std::string& FontFace::path() const {
  return impl_->path;
}

bool FontFace::hasGlyph(char32_t codePoint) const {
  hb_codepoint_t glyph = 0;
  return hb_font_get_nominal_glyph(impl_->font, codePoint, &glyph) != 0;
}

std::string FontFace::subset(const std::set<char32_t>& codePoints) const {
  hb_subset_input_t* input = hb_subset_input_create_or_fail();
  if (!input) return {};
  hb_set_t* unicodes = hb_subset_input_unicode_set(input);
  for (const char32_t codePoint : codePoints) hb_set_add(unicodes, codePoint);
  hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_NO_HINTING);
  hb_face_t* cut = hb_subset_or_fail(impl_->face, input);
  hb_subset_input_destroy(input);
  if (!cut) return {};
  hb_blob_t* blob = hb_face_reference_blob(cut);
  unsigned length = 0;
  const char* data = hb_blob_get_data(blob, &length);
  std::string bytes(data ? data : "", data ? length : 0);
  hb_blob_destroy(blob);
  hb_face_destroy(cut);
  return bytes;
}

}  // namespace QVRAdKit::Sandbox
