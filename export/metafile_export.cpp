#include "export/metafile_export.h"

#include <ostream>

namespace qd {

std::unique_ptr<TMetafileSurface> TVantraGridExportToMF::CreateMetafile(int width, int height) {
  return Enhanced ? MakeEnhancedMetafile(width, height) : MakeStandardMetafile(width, height);
}

void TVantraGridExportToMF::BeginExport() {
  FMetafile.reset();
  OriginLeft = OriginTop = 0;
  PageWidth = Width;
  PageHeight = Height;
  HorzScale = VertScale = 1.0;
  LineWidth = 0;
  TVantraGridPaint::BeginExport();
  // The picture is as large as the table where no size was given.
  FMetafile = CreateMetafile(Width > 0 ? Width : PageRect().Width(),
                             Height > 0 ? Height : PageRect().Height());
  Canvas = &FMetafile->Canvas();
}

void TVantraGridExportToMF::EndExport() {
  TVantraGridPaint::EndExport();
  Canvas = nullptr;
  std::unique_ptr<TMetafileSurface> metafile = std::move(FMetafile);
  if (Output()) metafile->Save(*Output());
}

}  // namespace qd
