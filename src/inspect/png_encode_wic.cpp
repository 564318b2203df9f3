// PNG pictures on Windows through the Windows Imaging Component: the same
// interface as the libpng encoder, and no library beside korvane.exe.
#include "inspect/png_encode.hpp"
#include "inspect/wic.hpp"

#include <cstring>

namespace kvn::inspect {
namespace {

using wic::Com;

Error fail(const std::string& name, const char* step, HRESULT hr) {
  return make_error(ErrorCode::kCannotEncode, name, wic::failure(step, hr));
}

// The encoder's objects for one frame, from the factory to the frame's size.
struct Session {
  Com<IWICImagingFactory> factory;
  Com<IStream> stream;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
};

Status start(Session& s, UINT width, UINT height, const std::string& name) {
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(s.factory.put()));
  if (FAILED(hr)) return fail(name, "starting the imaging component", hr);
  if (FAILED(hr = CreateStreamOnHGlobal(nullptr, TRUE, s.stream.put())))
    return fail(name, "making a memory stream", hr);
  if (FAILED(hr = s.factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, s.encoder.put())))
    return fail(name, "finding the PNG encoder", hr);
  if (FAILED(hr = s.encoder->Initialize(s.stream.get(), WICBitmapEncoderNoCache)))
    return fail(name, "starting the PNG encoder", hr);
  Com<IPropertyBag2> options;
  if (FAILED(hr = s.encoder->CreateNewFrame(s.frame.put(), options.put())) ||
      FAILED(hr = s.frame->Initialize(options.get())) ||
      FAILED(hr = s.frame->SetSize(width, height)))
    return fail(name, "making the image", hr);
  return Ok{};
}

// Commits the frame and takes the PNG bytes out of the memory stream.
Result<std::vector<std::uint8_t>> finish(Session& s, const std::string& name) {
  HRESULT hr;
  if (FAILED(hr = s.frame->Commit()) || FAILED(hr = s.encoder->Commit()))
    return fail(name, "finishing the PNG image", hr);
  HGLOBAL memory = nullptr;
  STATSTG stat{};
  if (FAILED(hr = GetHGlobalFromStream(s.stream.get(), &memory)) ||
      FAILED(hr = s.stream->Stat(&stat, STATFLAG_NONAME)))
    return fail(name, "reading the PNG image back", hr);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(stat.cbSize.QuadPart));
  const void* bytes = GlobalLock(memory);
  if (bytes == nullptr)
    return fail(name, "reading the PNG image back", HRESULT_FROM_WIN32(GetLastError()));
  std::memcpy(out.data(), bytes, out.size());
  GlobalUnlock(memory);
  return out;
}

// An 8-bit palette image like libpng's; an encoder that will not take one
// gets 24-bit colour, which shows the same pixels.
Result<std::vector<std::uint8_t>> encode(const Picture& picture, const std::string& name) {
  Session s;
  if (auto st = start(s, picture.width, picture.height, name); !st) return st.error();
  HRESULT hr;
  auto& factory = s.factory;
  auto& frame = s.frame;
  WICPixelFormatGUID format = GUID_WICPixelFormat8bppIndexed;
  if (FAILED(hr = frame->SetPixelFormat(&format)))
    return fail(name, "choosing the pixel format", hr);
  const bool indexed = IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed) != 0;
  if (indexed) {
    std::vector<WICColor> colours(picture.palette.size());
    for (std::size_t i = 0; i < colours.size(); ++i)
      colours[i] = 0xFF000000u | (WICColor{picture.palette[i].r} << 16) |
                   (WICColor{picture.palette[i].g} << 8) | picture.palette[i].b;
    Com<IWICPalette> palette;
    if (FAILED(hr = factory->CreatePalette(palette.put())) ||
        FAILED(hr = palette->InitializeCustom(colours.data(), static_cast<UINT>(colours.size()))) ||
        FAILED(hr = frame->SetPalette(palette.get())))
      return fail(name, "setting the palette", hr);
    hr = frame->WritePixels(picture.height, picture.width, static_cast<UINT>(picture.pixels.size()),
                            const_cast<BYTE*>(picture.pixels.data()));
  } else if (IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
    std::vector<BYTE> bgr(picture.pixels.size() * 3);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
      const Rgb c = picture.palette[picture.pixels[i]];
      bgr[3 * i] = c.b;
      bgr[3 * i + 1] = c.g;
      bgr[3 * i + 2] = c.r;
    }
    hr = frame->WritePixels(picture.height, picture.width * 3, static_cast<UINT>(bgr.size()),
                            bgr.data());
  } else {
    return make_error(ErrorCode::kCannotEncode, name,
                      "the PNG encoder takes neither palette nor 24-bit images");
  }
  if (FAILED(hr)) return fail(name, "writing the pixels", hr);
  return finish(s, name);
}

// 24-bit colour for an opaque picture, else 32-bit with alpha; both in the
// blue-first order the encoder takes.
Result<std::vector<std::uint8_t>> encode(const RgbaPicture& picture, const std::string& name) {
  Session s;
  if (auto st = start(s, picture.width, picture.height, name); !st) return st.error();
  const bool rgb = opaque(picture);
  const WICPixelFormatGUID wanted = rgb ? GUID_WICPixelFormat24bppBGR : GUID_WICPixelFormat32bppBGRA;
  WICPixelFormatGUID format = wanted;
  HRESULT hr;
  if (FAILED(hr = s.frame->SetPixelFormat(&format)))
    return fail(name, "choosing the pixel format", hr);
  if (IsEqualGUID(format, wanted) == 0)
    return make_error(ErrorCode::kCannotEncode, name,
                      "the PNG encoder takes no 24-bit or 32-bit colour images");
  const std::size_t channels = rgb ? 3 : 4;
  const std::size_t count = std::size_t{picture.width} * picture.height;
  std::vector<BYTE> bgr(count * channels);
  for (std::size_t i = 0; i < count; ++i) {
    BYTE* to = &bgr[i * channels];
    const std::uint8_t* from = &picture.rgba[i * 4];
    to[0] = from[2];
    to[1] = from[1];
    to[2] = from[0];
    if (!rgb) to[3] = from[3];
  }
  hr = s.frame->WritePixels(picture.height, static_cast<UINT>(picture.width * channels),
                            static_cast<UINT>(bgr.size()), bgr.data());
  if (FAILED(hr)) return fail(name, "writing the pixels", hr);
  return finish(s, name);
}

}  // namespace

bool png_supported() { return true; }

Result<std::vector<std::uint8_t>> encode_png(const Picture& picture, const std::string& name) {
  const auto& palette = picture.palette;
  if (palette.empty() || palette.size() > 256)
    return make_error(ErrorCode::kCannotEncode, name,
                      "a picture of " + std::to_string(palette.size()) + " colours");
  // Every pixel must name a colour of the palette.
  for (const auto px : picture.pixels)
    if (px >= palette.size())
      return make_error(ErrorCode::kCannotEncode, name, "a pixel outside the palette");
  if (picture.width == 0 || picture.height == 0 ||
      picture.pixels.size() != std::size_t{picture.width} * picture.height)
    return make_error(ErrorCode::kCannotEncode, name,
                      "a picture of " + std::to_string(picture.width) + " x " +
                          std::to_string(picture.height) + " pixels holds " +
                          std::to_string(picture.pixels.size()));
  // Started and ended here: a caller's threads need know nothing of COM.
  const wic::ComScope com;
  return encode(picture, name);
}

}  // namespace kvn::inspect

namespace kvn::inspect {

Result<std::vector<std::uint8_t>> encode_png(const RgbaPicture& picture, const std::string& name) {
  if (auto st = check_rgba(picture, name); !st) return st.error();
  const wic::ComScope com;
  return encode(picture, name);
}

}  // namespace kvn::inspect
