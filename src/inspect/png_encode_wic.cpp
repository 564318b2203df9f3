// PNG pictures on Windows through the Windows Imaging Component: the same
// interface as the libpng encoder, and no library beside korvane.exe.
#include "inspect/png_encode.hpp"
#include "inspect/wic.hpp"

#include <cstring>

namespace kvn::inspect {
namespace {

using wic::Com;

// An 8-bit palette image like libpng's; an encoder that will not take one
// gets 24-bit colour, which shows the same pixels.
Result<std::vector<std::uint8_t>> encode(const Picture& picture, const std::string& name) {
  const auto fail = [&](const char* step, HRESULT hr) {
    return make_error(ErrorCode::kCannotEncode, name, wic::failure(step, hr));
  };
  Com<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()));
  if (FAILED(hr)) return fail("starting the imaging component", hr);
  Com<IStream> stream;
  if (FAILED(hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.put())))
    return fail("making a memory stream", hr);
  Com<IWICBitmapEncoder> encoder;
  if (FAILED(hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())))
    return fail("finding the PNG encoder", hr);
  if (FAILED(hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)))
    return fail("starting the PNG encoder", hr);
  Com<IWICBitmapFrameEncode> frame;
  Com<IPropertyBag2> options;
  if (FAILED(hr = encoder->CreateNewFrame(frame.put(), options.put())) ||
      FAILED(hr = frame->Initialize(options.get())) ||
      FAILED(hr = frame->SetSize(picture.width, picture.height)))
    return fail("making the image", hr);
  WICPixelFormatGUID format = GUID_WICPixelFormat8bppIndexed;
  if (FAILED(hr = frame->SetPixelFormat(&format))) return fail("choosing the pixel format", hr);
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
      return fail("setting the palette", hr);
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
  if (FAILED(hr)) return fail("writing the pixels", hr);
  if (FAILED(hr = frame->Commit()) || FAILED(hr = encoder->Commit()))
    return fail("finishing the PNG image", hr);

  HGLOBAL memory = nullptr;
  STATSTG stat{};
  if (FAILED(hr = GetHGlobalFromStream(stream.get(), &memory)) ||
      FAILED(hr = stream->Stat(&stat, STATFLAG_NONAME)))
    return fail("reading the PNG image back", hr);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(stat.cbSize.QuadPart));
  const void* bytes = GlobalLock(memory);
  if (bytes == nullptr)
    return fail("reading the PNG image back", HRESULT_FROM_WIN32(GetLastError()));
  std::memcpy(out.data(), bytes, out.size());
  GlobalUnlock(memory);
  return out;
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
