// The pivot grid as one vector picture: the table drawn once onto a recording
// surface that is saved to the output. The surfaces of this folder record an
// enhanced metafile (EMF) or a standard placeable metafile (WMF); the view
// adds SVG through Qt.
#pragma once

#include <iosfwd>
#include <memory>

#include "export/grid_paint.h"

namespace qd {

//! A picture being recorded: its canvas, and the saving that ends it.
class TMetafileSurface {
 public:
  virtual ~TMetafileSurface() = default;
  virtual TPaintCanvas& Canvas() = 0;
  virtual void Save(std::ostream& out) = 0;
};

//! An enhanced metafile (EMF) of `width` × `height` pixels at 96 pixels per inch.
std::unique_ptr<TMetafileSurface> MakeEnhancedMetafile(int width, int height);
//! A standard metafile with the placeable header (WMF), 96 units per inch;
//! texts are GB18030 with the GB2312 character set.
std::unique_ptr<TMetafileSurface> MakeStandardMetafile(int width, int height);

class TVantraGridExportToMF : public TVantraGridPaint {
 public:
  //! The picture's size in pixels; 0 makes it as large as the table.
  int Height = 0;
  int Width = 0;
  //! An enhanced metafile (EMF); false: a standard one (WMF).
  bool Enhanced = true;

 protected:
  void BeginExport() override;
  void EndExport() override;
  //! The recording surface of the picture; the view overrides it for SVG.
  virtual std::unique_ptr<TMetafileSurface> CreateMetafile(int width, int height);

 private:
  std::unique_ptr<TMetafileSurface> FMetafile;
};

}  // namespace qd
