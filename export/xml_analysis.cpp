// The XML for Analysis dialect of the XML exporter: envelope, inline schema,
// axis information, tuples and cell data.
#include <functional>

#include "engine/core/format.h"
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

TSchemaNode Schema() {
  std::vector<TSchemaNode> cellInfo;
  for (const char* name :
       {"Value", "FmtValue", "BackColor", "ForeColor", "FontName", "FontSize", "FontFlags",
        "FormatString", "NonEmptyBehavior", "SolveOrder", "Updateable", "Visible", "Expression"})
    cellInfo.push_back(Elem(name, "PropType"));
  std::vector<TSchemaNode> cellData = {Elem("Value", "")};
  const std::pair<const char*, const char*> cellFields[] = {
      {"FmtValue", "xsd:string"},        {"BackColor", "xsd:unsignedInt"},
      {"ForeColor", "xsd:unsignedInt"},  {"FontName", "xsd:string"},
      {"FontSize", "xsd:unsignedShort"}, {"FontFlags", "xsd:unsignedInt"},
      {"FormatString", "xsd:string"},    {"NonEmptyBehavior", "xsd:unsignedShort"},
      {"SolveOrder", "xsd:unsignedInt"}, {"Updateable", "xsd:unsignedInt"},
      {"Visible", "xsd:unsignedInt"},    {"Expression", "xsd:string"}};
  for (const auto& [name, type] : cellFields) cellData.push_back(Elem(name, type));

  return N(
      "schema", {{"xmlns:xsd", "http://www.w3.org/2001/XMLSchema"}},
      {N("complexType", {{"name", "MemberType"}},
         {Attr("Hierarchy", "xsd:string"),
          N("sequence", {},
            {Elem("UName", "xsd:string"), Elem("Caption", "xsd:string"),
             Elem("LName", "xsd:string"), Elem("LNum", "xsd:unsignedInt"), AnyLax()})}),
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
       N("complexType", {{"name", "OlapInfo"}},
         {Unbounded(
             "sequence",
             {N("element", {{"name", "AxesInfo"}},
                {N("complexType", {},
                   {Unbounded("sequence",
                              {N("element", {{"name", "AxisInfo"}},
                                 {N("complexType", {},
                                    {Attr("name", "xsd:string"),
                                     Unbounded("sequence",
                                               {N("element", {{"name", "HierarchyInfo"}},
                                                  {N("complexType", {},
                                                     {Attr("name", "xsd:string"),
                                                      N("sequence", {},
                                                        {Unbounded("sequence",
                                                                   {Elem("UName", "PropType"),
                                                                    Elem("Caption", "PropType"),
                                                                    Elem("LName", "PropType"),
                                                                    Elem("LNum", "PropType")}),
                                                         AnyLax()})})})})})})})})}),
              N("element", {{"name", "CellInfo"}},
                {N("complexType", {},
                   {N("sequence", {},
                      {Unbounded("sequence", {N("choice", {}, cellInfo)}), AnyLax()})})})})}),
       N("complexType", {{"name", "Axes"}},
         {Unbounded("sequence", {N("element", {{"name", "Axis"}},
                                   {N("complexType", {},
                                      {Attr("name", "xsd:string"),
                                       N("choice", {{"minOccurs", "0"}, {"maxOccurs", "unbounded"}},
                                         {Elem("CrossProduct", "CrossProductType"),
                                          Elem("Tuples", "TuplesType"),
                                          Elem("Members", "MembersType")})})})})}),
       N("complexType", {{"name", "CellData"}},
         {Unbounded("sequence", {N("element", {{"name", "Cell"}},
                                   {N("complexType", {},
                                      {Attr("CellOrdinal", "xsd:unsignedInt"),
                                       Unbounded("sequence", {N("choice", {}, cellData)})})})})}),
       N("element", {{"name", "root"}},
         {N("complexType", {},
            {Unbounded("sequence", {Elem("OlapInfo", "OlapInfo"), Elem("Axes", "Axes"),
                                    Elem("CellData", "CellData")})})})});
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

std::vector<std::string> TVantraGridExportToXML::HierarchyNames(int axis) const {
  std::vector<std::string> names;
  for (const TCaptionNode& c : Grid()->CaptionNodes(axis)) {
    const std::string field = Grid()->GetDimName(c.DimIndex);
    for (int level = 0; level < c.Width; ++level)
      names.push_back(level == 0 ? field : field + std::to_string(level));
  }
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
  for (int axis : {1, 0}) {
    Open("AxisInfo", {{"name", axis == 1 ? "Axis0" : "Axis1"}});
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
  for (int axis : {1, 0}) {
    Open("Axis", {{"name", axis == 1 ? "Axis0" : "Axis1"}});
    Open("Tuples");
    WriteTuples(axis);
    Close("Tuples");
    Close("Axis");
  }
  Close("Axes");
}

void TVantraGridExportToXML::WriteTuples(int axis) {
  const std::vector<std::string> names = HierarchyNames(axis);
  auto h = [&](std::size_t level) { return level < names.size() ? names[level] : std::string(); };
  std::vector<std::string> path;
  std::function<void(const TLabelNodes&)> walk = [&](const TLabelNodes& list) {
    for (const auto& n : list) {
      path.push_back(Grid()->GetNodeCaption(*n));
      if (!n->Children.empty()) {
        walk(n->Children);
        path.pop_back();
        continue;
      }
      Open("Tuple");
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
      Close("Tuple");
      path.pop_back();
    }
  };
  walk(Grid()->Tree(axis));
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
