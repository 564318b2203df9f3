#include "support/png_decode.hpp"

#if defined(_WIN32)
#include "inspect/wic.hpp"
#elif defined(KORVANE_HAVE_PNG)
#include <png.h>

#include <cstring>
#endif

namespace kvn::test {

#if defined(_WIN32)
// The imaging component that encoded the picture decodes it here; the wine
// tests also decode korvane.exe's pictures with libpng, on the Linux side.
std::optional<DecodedPng> decode_png(const std::vector<std::uint8_t>& png) {
  using inspect::wic::Com;
  const inspect::wic::ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IWICStream> stream;
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  Com<IWICFormatConverter> converter;
  UINT width = 0, height = 0;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()))) ||
      FAILED(factory->CreateStream(stream.put())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(png.data()),
                                          static_cast<DWORD>(png.size()))) ||
      FAILED(factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.put())) ||
      FAILED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)) ||
      FAILED(decoder->GetFrame(0, frame.put())) || FAILED(frame->GetSize(&width, &height)) ||
      FAILED(factory->CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom)))
    return std::nullopt;
  std::vector<std::uint8_t> bgra(std::size_t{width} * height * 4);
  if (FAILED(
          converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(bgra.size()), bgra.data())))
    return std::nullopt;
  DecodedPng out;
  out.width = width;
  out.height = height;
  out.rgb.resize(std::size_t{width} * height * 3);
  for (std::size_t i = 0; i < std::size_t{width} * height; ++i) {
    out.rgb[3 * i] = bgra[4 * i + 2];
    out.rgb[3 * i + 1] = bgra[4 * i + 1];
    out.rgb[3 * i + 2] = bgra[4 * i];
  }
  return out;
}
#elif defined(KORVANE_HAVE_PNG)
std::optional<DecodedPng> decode_png(const std::vector<std::uint8_t>& png) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return std::nullopt;
  image.format = PNG_FORMAT_RGB;
  DecodedPng out;
  out.width = image.width;
  out.height = image.height;
  out.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  return out;
}
#else
std::optional<DecodedPng> decode_png(const std::vector<std::uint8_t>&) { return std::nullopt; }
#endif

}  // namespace kvn::test
