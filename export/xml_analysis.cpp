// The XML for Analysis dialect of the XML exporter: envelope, inline schema,
// axis information, tuples and cell data.
#include <functional>

#include "engine/core/format.h"
#include "export/document_heading.h"
#include "export/xml_export.h"
#include "model/grid_info.h"

namespace qd {

namespace {

// One entry of the inline schema: an xsd element with attributes and children.
struct TSchemaNode {
  std::string Tag;
  std::vector<std::pair<std::string, std::string>> Attrs;
  std::vector<TSchemaNode> Kids;
};

TSchemaNode N(std::string tag, std::vector<std::pair<std::string, std::string>> attrs,
              std::vector<TSchemaNode> kids = {}) {
  return {std::move(tag), std::move(attrs), std::move(kids)};
}

TSchemaNode Elem(const std::string& name, const std::string& type) {
  if (type.empty()) return N("element", {{"name", name}});
  return N("element", {{"name", name}, {"type", type}});
}

TSchemaNode AnyLax() {
  return N("sequence", {{"maxOccurs", "unbounded"}, {"minOccurs", "0"}},
           {N("any", {{"processContents", "lax"}, {"maxOccurs", "unbounded"}})});
}

TSchemaNode Attr(const std::string& name, const std::string& type) {
  return N("attribute", {{"name", name}, {"type", type}});
}

TSchemaNode Unbounded(const std::string& tag, std::vector<TSchemaNode> kids) {
  return N(tag, {{"maxOccurs", "unbounded"}}, std::move(kids));
}

// The axis, hierarchy and cell property declarations of the OlapInfo type.
TSchemaNode OlapInfoType() {
  std::vector<TSchemaNode> cellInfo;
  for (const char* name :
       {"Value", "FmtValue", "BackColor", "ForeColor", "FontName", "FontSize", "FontFlags",
        "FormatString", "NonEmptyBehavior", "SolveOrder", "Updateable", "Visible", "Expression"})
    cellInfo.push_back(Elem(name, "PropType"));
  TSchemaNode hierarchyInfo =
      N("element", {{"name", "HierarchyInfo"}},
        {N("complexType", {},
           {Attr("name", "xsd:string"),
            N("sequence", {},
              {Unbounded("sequence", {Elem("UName", "PropType"), Elem("Caption", "PropType"),
                                      Elem("LName", "PropType"), Elem("LNum", "PropType")}),
               AnyLax()})})});
  TSchemaNode axisInfo =
      N("element", {{"name", "AxisInfo"}},
        {N("complexType", {},
           {Attr("name", "xsd:string"), Unbounded("sequence", {std::move(hierarchyInfo)})})});
  return N(
      "complexType", {{"name", "OlapInfo"}},
      {Unbounded("sequence",
                 {N("element", {{"name", "AxesInfo"}},
                    {N("complexType", {}, {Unbounded("sequence", {std::move(axisInfo)})})}),
                  N("element", {{"name", "CellInfo"}},
                    {N("complexType", {},
                       {N("sequence", {},
                          {Unbounded("sequence", {N("choice", {}, cellInfo)}), AnyLax()})})})})});
}

// The Axes and CellData types: the tuples of each axis and the cell values.
std::vector<TSchemaNode> AxesAndCellTypes() {
  std::vector<TSchemaNode> cellData = {Elem("Value", "")};
  const std::pair<const char*, const char*> cellFields[] = {
      {"FmtValue", "xsd:string"},        {"BackColor", "xsd:unsignedInt"},
      {"ForeColor", "xsd:unsignedInt"},  {"FontName", "xsd:string"},
      {"FontSize", "xsd:unsignedShort"}, {"FontFlags", "xsd:unsignedInt"},
      {"FormatString", "xsd:string"},    {"NonEmptyBehavior", "xsd:unsignedShort"},
      {"SolveOrder", "xsd:unsignedInt"}, {"Updateable", "xsd:unsignedInt"},
      {"Visible", "xsd:unsignedInt"},    {"Expression", "xsd:string"}};
  for (const auto& [name, type] : cellFields) cellData.push_back(Elem(name, type));
  return {
      N("complexType", {{"name", "Axes"}},
        {Unbounded("sequence",
                   {N("element", {{"name", "Axis"}},
                      {N("complexType", {},
                         {Attr("name", "xsd:string"),
                          N("choice", {{"minOccurs", "0"}, {"maxOccurs", "unbounded"}},
                            {Elem("CrossProduct", "CrossProductType"), Elem("Tuples", "TuplesType"),
                             Elem("Members", "MembersType")})})})})}),
      N("complexType", {{"name", "CellData"}},
        {Unbounded("sequence", {N("element", {{"name", "Cell"}},
                                  {N("complexType", {},
                                     {Attr("CellOrdinal", "xsd:unsignedInt"),
                                      Unbounded("sequence", {N("choice", {}, cellData)})})})})})};
}

TSchemaNode Schema() {
  std::vector<TSchemaNode> types = {
      N("complexType", {{"name", "MemberType"}},
        {Attr("Hierarchy", "xsd:string"),
         N("sequence", {},
           {Elem("UName", "xsd:string"), Elem("Caption", "xsd:string"), Elem("LName", "xsd:string"),
            Elem("LNum", "xsd:unsignedInt"), AnyLax()})}),
      N("complexType", {{"name", "PropType"}}, {Attr("name", "xsd:string")}),
      N("complexType", {{"name", "TupleType"}},
        {Unbounded("sequence", {Elem("Member", "MemberType")})}),
      N("complexType", {{"name", "MembersType"}},
        {Attr("Hierarchy", "xsd:string"), Unbounded("sequence", {Elem("Member", "MemberType")})}),
      N("complexType", {{"name", "TuplesType"}},
        {Unbounded("sequence", {Elem("Tuple", "TupleType")})}),
      N("complexType", {{"name", "CrossProductType"}},
        {N("choice", {{"minOccurs", "0"}, {"maxOccurs", "unbounded"}},
           {Elem("Members", "MembersType"), Elem("Tuples", "TuplesType")})}),
      OlapInfoType()};
  for (TSchemaNode& t : AxesAndCellTypes()) types.push_back(std::move(t));
  types.push_back(N("element", {{"name", "root"}},
                    {N("complexType", {},
                       {Unbounded("sequence", {Elem("OlapInfo", "OlapInfo"), Elem("Axes", "Axes"),
                                               Elem("CellData", "CellData")})})}));
  return N("schema", {{"xmlns:xsd", "http://www.w3.org/2001/XMLSchema"}}, std::move(types));
}

}  // namespace

void TVantraGridExportToXML::BeginAnalysis() {
  Line(
      "<SOAP-ENV:Envelope\n"
      "  xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\"\n"
      "  SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">");
  ++FDepth;
  Open("SOAP-ENV:Body");
  Open("ExecuteResponse", {{"xmlns", "urn:schemas-microsoft-com:xml-analysis"}});
  Open("return");
  Open("root");
  WriteSchema();
  WriteOlapInfo();
  WriteAxes();
  Open("CellData", {{"xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance"}});
}

void TVantraGridExportToXML::WriteSchema() {
  std::function<void(const TSchemaNode&)> write = [&](const TSchemaNode& n) {
    Open("xsd:" + n.Tag, n.Attrs);
    for (const auto& k : n.Kids) write(k);
    Close("xsd:" + n.Tag);
  };
  write(Schema());
}

namespace {

// Names of the levels of one hierarchy: its name, then the name followed by
// the level's number (region, region1, region2).
void AddLevelNames(std::vector<std::string>& names, const std::string& name, int levels) {
  for (int level = 0; level < levels; ++level)
    names.push_back(level == 0 ? name : name + std::to_string(level));
}

// Levels of the data-column headers: summary, function, sub-function.
int MeasureLevels(const TGridInfo& grid) {
  if (grid.DataColumns().empty()) return 0;
  int levels = 0;
  for (const TSubLevelNode* n = grid.DataColumns().front(); n; n = n->Parent) ++levels;
  return levels;
}

constexpr const char* kMeasures = "Measures";
constexpr const char* kSlicerAxis = "SlicerAxis";

}  // namespace

std::vector<std::string> TVantraGridExportToXML::HierarchyNames(int axis) const {
  std::vector<std::string> names;
  if (axis == 2) {
    for (int d : Grid()->PageDims()) names.push_back(Grid()->GetDimName(d));
    return names;
  }
  for (const TCaptionNode& c : Grid()->CaptionNodes(axis))
    AddLevelNames(names, Grid()->GetDimName(c.DimIndex), c.Width);
  // The data-column headers are levels of the column axis: without them a
  // reader would place a row's cells over too few column tuples.
  if (axis == 1) AddLevelNames(names, kMeasures, MeasureLevels(*Grid()));
  return names;
}

void TVantraGridExportToXML::WriteOlapInfo() {
  Open("OlapInfo");
  if (!CubeName.empty()) {
    Open("CubeInfo");
    Open("Cube");
    Content("CubeName", {}, CubeName);
    Close("Cube");
    Close("CubeInfo");
  }
  Open("AxesInfo");
  for (int axis : {1, 0, 2}) {
    if (axis == 2 && Grid()->PageDims().empty()) continue;
    Open("AxisInfo", {{"name", axis == 1 ? "Axis0" : axis == 0 ? "Axis1" : kSlicerAxis}});
    for (const std::string& h : HierarchyNames(axis)) {
      Open("HierarchyInfo", {{"name", h}});
      Content("UName", {{"name", "[" + h + "].[MEMBER_UNIQUE_NAME]"}}, "");
      Content("Caption", {{"name", "[" + h + "].[MEMBER_CAPTION]"}}, "");
      Content("LName", {{"name", "[" + h + "].[LEVEL_UNIQUE_NAME]"}}, "");
      Content("LNum", {{"name", "[" + h + "].[LEVEL_NUMBER]"}}, "");
      Close("HierarchyInfo");
    }
    Close("AxisInfo");
  }
  Close("AxesInfo");
  Open("CellInfo");
  Content("Value", {{"name", "VALUE"}}, "");
  Content("FmtValue", {{"name", "FORMATTED_VALUE"}}, "");
  Content("BackColor", {{"name", "BACK_COLOR"}}, "");
  Content("FormatString", {{"name", "FORMAT_STRING"}}, "");
  Close("CellInfo");
  Close("OlapInfo");
}

void TVantraGridExportToXML::WriteAxes() {
  Open("Axes");
  for (int axis : {1, 0, 2}) {
    if (axis == 2 && Grid()->PageDims().empty()) continue;
    Open("Axis", {{"name", axis == 1 ? "Axis0" : axis == 0 ? "Axis1" : kSlicerAxis}});
    Open("Tuples");
    WriteTuples(axis);
    Close("Tuples");
    Close("Axis");
  }
  Close("Axes");
}

// The members of one path of captions, outermost first, whose levels are
// names[first], names[first + 1], ...
void TVantraGridExportToXML::WriteMembers(const std::vector<std::string>& path,
                                          const std::vector<std::string>& names,
                                          std::size_t first) {
  auto h = [&](std::size_t level) {
    return first + level < names.size() ? names[first + level] : std::string();
  };
  const std::size_t d = path.size();
  for (std::size_t a = 0; a < d; ++a) {
    Open("Member", {{"Hierarchy", h(a)}});
    std::string uname = "[" + h(a) + "].";
    for (std::size_t i = 0; i < a; ++i) uname += "[" + path[i] + "].";
    Content("UName", {}, uname + "[" + path[a] + "]");
    Content("Caption", {}, path[a]);
    std::string lname = "[" + h(a) + "]";
    for (std::size_t b = a; b-- > 0;) lname += ".[" + h(b) + "]";
    Content("LName", {}, lname);
    Content("LNum", {}, std::to_string(d - a));
    Close("Member");
  }
}

// One tuple per exported row line, per exported data column (its column
// line's path, then its header path), or one slicer tuple of the page
// dimensions' selections; tuple i belongs to the i-th cell of its axis.
void TVantraGridExportToXML::WriteTuples(int axis) {
  const TGridInfo& grid = *Grid();
  const std::vector<std::string> names = HierarchyNames(axis);
  if (axis == 2) {
    Open("Tuple");
    for (std::size_t i = 0; i < grid.PageDims().size(); ++i) {
      const TDimensionState& state = grid.DimensionState(grid.PageDims()[i]);
      WriteMembers({SelectedMembersText(state)}, names, i);
    }
    Close("Tuple");
    return;
  }
  auto labelPath = [&](const TLabelNode* line) {
    std::vector<std::string> path;
    for (const TLabelNode* n = line; n; n = n->Parent)
      path.insert(path.begin(), grid.GetNodeCaption(*n));
    return path;
  };
  if (axis == 0) {
    if (grid.RowDims().empty()) return;
    for (int r = FirstDataRow(); r <= LastDataRow(); ++r) {
      Open("Tuple");
      WriteMembers(labelPath(grid.GetRowLine(r - FixedRows())), names, 0);
      Close("Tuple");
    }
    return;
  }
  const std::size_t labelLevels = names.size() - static_cast<std::size_t>(MeasureLevels(grid));
  for (int c = FirstDataCol(); c <= LastDataCol(); ++c) {
    const int j = c - FixedCols();
    std::vector<std::string> measures;
    if (j < static_cast<int>(grid.DataColumns().size()))
      for (const TSubLevelNode* n = grid.DataColumns()[static_cast<std::size_t>(j)]; n;
           n = n->Parent)
        measures.insert(measures.begin(), SubLevelCaption(grid, *n));
    Open("Tuple");
    WriteMembers(labelPath(grid.GetColumnLine(j)), names, 0);
    WriteMembers(measures, names, labelLevels);
    Close("Tuple");
  }
}

void TVantraGridExportToXML::WriteAnalysisCell(int, int) {
  const TVantraGridExportCellParams& p = CurrentCell();
  Open("Cell", {{"CellOrdinal", std::to_string(FCellOrdinal++)}});
  Content("Value", {{"xsi:type", "xsd:double"}}, FormatGeneral(p.Value));
  Content("FmtValue", {}, p.Text);
  Content("BackColor", {}, "#" + ColorHex(p.Color));
  Content("FormatString", {}, p.FormatString);
  Close("Cell");
}

void TVantraGridExportToXML::EndAnalysis() {
  for (const char* tag :
       {"CellData", "root", "return", "ExecuteResponse", "SOAP-ENV:Body", "SOAP-ENV:Envelope"})
    Close(tag);
}

}  // namespace qd
