#include "tools/inspect/InspectReport.h"

#include "model/ModelLibrary.h"
#include "tools/files/TerminalText.h"
#include "tools/inspect/JsonWriter.h"

#include <cstdarg>
#include <cstdio>

float UnitsToRadians(int32_t units) { return mdlAngleToRadians(units); }

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    // Measured first, so no line is ever cut, however long a file name in it.
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0u, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

// A tag as printable text: other bytes as \xNN.
std::string PrintableTag(const char* tag) {
    std::string out;
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(tag[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') out += static_cast<char>(c);
        else out += Format("\\x%02X", c);
    }
    return out;
}

// Shortest text that reads back as the same float.
std::string Num(float v) {
    for (int digits = 1; digits <= 9; ++digits) {
        char trial[32];
        std::snprintf(trial, sizeof trial, "%.*g", digits, static_cast<double>(v));
        if (static_cast<float>(std::strtod(trial, nullptr)) == v || v != v) return trial;
    }
    return Format("%.9g", static_cast<double>(v));
}

const char* PolygonKindName(PolygonChunkKind kind) {
    switch (kind) {
        case PolygonChunkKind::Null: return "null";
        case PolygonChunkKind::Cache: return "cache";
        case PolygonChunkKind::Call: return "call";
        case PolygonChunkKind::Texture: return "texture";
        case PolygonChunkKind::Material: return "material";
        case PolygonChunkKind::Strip: return "strip";
        case PolygonChunkKind::Sized: return "sized";
        case PolygonChunkKind::End: return "end";
        case PolygonChunkKind::Unknown: return "unknown";
    }
    return "unknown";
}

uint32_t ColorWord(const MaterialColor& c) {
    auto byte = [](int32_t v) { return static_cast<uint32_t>(v) & 0xFFu; };
    return byte(c.alpha) << 24 | byte(c.red) << 16 | byte(c.green) << 8 | byte(c.blue);
}

// The summary of one model's polygon list.
struct PolygonSummary {
    std::vector<uint32_t> colours;  // colour 0 of each material chunk
    uint32_t materials = 0;
    uint32_t stripChunks = 0;
    uint32_t strips = 0;
    uint32_t vertices = 0;
    std::vector<int32_t> cacheSlots;
    std::vector<int32_t> callSlots;
};

PolygonSummary Summarise(const InspectModelLists& m) {
    PolygonSummary s;
    for (const InspectPolygonChunk& c : m.polygonChunks) {
        if (c.kind == PolygonChunkKind::Material) {
            ++s.materials;
            s.colours.push_back(ColorWord(c.colors[0]));
        } else if (c.kind == PolygonChunkKind::Strip) {
            ++s.stripChunks;
            s.strips += c.strips;
            s.vertices += c.vertices;
        } else if (c.kind == PolygonChunkKind::Cache) {
            s.cacheSlots.push_back(c.slot);
        } else if (c.kind == PolygonChunkKind::Call) {
            s.callSlots.push_back(c.slot);
        }
    }
    return s;
}

std::string SlotList(const std::vector<int32_t>& slots) {
    if (slots.empty()) return "none";
    std::string out;
    for (int32_t s : slots) {
        if (!out.empty()) out += ',';
        out += std::to_string(s);
    }
    return out;
}

const char* ListKind(uint16_t listCount, int k) {
    // Which keys list k holds, by the list count.
    static const char* const kOne[] = {"position/angle/scale", "-", "-"};
    static const char* const kTwo[] = {"position", "angle", "-"};
    static const char* const kThree[] = {"position", "angle", "scale"};
    if (listCount == 1) return kOne[k];
    if (listCount == 2) return kTwo[k];
    if (listCount == 3) return kThree[k];
    return "-";
}

void TextChunks(std::string& out, const FileChunks& fc) {
    out += "  chunks:\n";
    for (const ChunkInfo& c : fc.chunks) {
        out += Format("    offset %-8u %-4s size %-8u", c.offset, PrintableTag(c.tag).c_str(), c.size);
        if (c.isData) out += Format(" relocations: %u fields listed, %u null", c.fieldsListed, c.nullFields);
        else if (c.isRelocation) out += Format(" entries: %u (%u padding)", c.entries, c.paddingEntries);
        out += '\n';
    }
}

}  // namespace

InspectReport BuildInspectReport(const InputFile& model, const InputFile& motion) {
    InspectReport r;
    r.model = &model;
    r.motion = &motion;
    r.modelChunks.listing = ListChunks(model.bytes.get(), model.size, &r.modelChunks.chunks);
    r.motionChunks.listing = ListChunks(motion.bytes.get(), motion.size, &r.motionChunks.chunks);
    const CheckedInputs checked = CheckInputs(model, motion);
    r.problems = checked.problems;
    if (checked.rootObject) r.tree = mdlInspectModel(checked.rootObject);
    if (checked.motion)
        r.dance = mdlInspectMotion(checked.motion, r.tree ? static_cast<int32_t>(r.tree->nodes.size()) : 0);
    return r;
}

std::string InspectText(const InspectReport& r) {
    std::string out;
    out += Format("model: %s (%u bytes)\n", TerminalSafe(r.model->name).c_str(), r.model->size);
    TextChunks(out, r.modelChunks);
    if (r.tree) {
        const ModelReport& t = *r.tree;
        out += Format("  nodes: %zu, %d levels, %u strips, %u strip vertices, work entries used: %u\n",
                      t.nodes.size(), t.nodes.empty() ? 0 : t.maxDepth + 1, t.strips, t.stripVertices, t.entriesUsed);
        out += "    index depth flags      position                  rotation units -> radians                  scale          model\n";
        for (const InspectNode& n : t.nodes) {
            std::string pos = Num(n.position[0]) + " " + Num(n.position[1]) + " " + Num(n.position[2]);
            std::string rot = Format("%d %d %d", n.rotation[0], n.rotation[1], n.rotation[2]) + " -> " +
                              Num(UnitsToRadians(n.rotation[0])) + " " + Num(UnitsToRadians(n.rotation[1])) + " " +
                              Num(UnitsToRadians(n.rotation[2]));
            std::string scale = Num(n.scale[0]) + " " + Num(n.scale[1]) + " " + Num(n.scale[2]);
            out += Format("    %-5d %-5d 0x%08X %-25s %-43s %-14s %s\n", n.index, n.depth, n.flags, pos.c_str(),
                          rot.c_str(), scale.c_str(), n.model >= 0 ? Format("%d", n.model).c_str() : "-");
        }
        out += Format("  models: %zu\n", t.models.size());
        for (size_t i = 0; i < t.models.size(); ++i) {
            const InspectModelLists& m = t.models[i];
            out += Format("    model %zu (node %d, offset %u)\n", i, m.node, m.offset);
            for (const InspectVertexChunk& v : m.vertexChunks) {
                out += Format("      vertex chunk type 0x%02X flags 0x%02X: %u vertices", v.type, v.flags, v.count);
                if (v.count != 0) out += Format(", entries %u-%u", v.firstEntry, v.lastEntry);
                if (!v.known) out += " (unknown type)";
                out += '\n';
            }
            if (m.vertexList == 0) out += "      no vertex list\n";
            if (m.polygonList == 0) {
                out += "      no polygon list\n";
                continue;
            }
            const PolygonSummary s = Summarise(m);
            out += Format("      polygons: %u materials, %u strip chunks, %u strips, %u vertices, cache slots %s, call slots %s\n",
                          s.materials, s.stripChunks, s.strips, s.vertices, SlotList(s.cacheSlots).c_str(),
                          SlotList(s.callSlots).c_str());
            if (!s.colours.empty()) {
                out += "      colours:";
                for (uint32_t c : s.colours) out += Format(" 0x%08X", c);
                out += '\n';
            }
        }
    }
    out += Format("motion: %s (%u bytes)\n", TerminalSafe(r.motion->name).c_str(), r.motion->size);
    TextChunks(out, r.motionChunks);
    if (r.dance) {
        const MotionReport& d = *r.dance;
        out += Format("  frames: %u, flags 0x%04X, lists per node: %u, nodes: %zu\n", d.frameCount, d.typeFlags,
                      d.listCount, d.nodes.size());
        const int lists = d.listCount >= 1 && d.listCount <= 3 ? d.listCount : 0;
        if (!d.nodes.empty() && lists > 0) {
            out += "    node ";
            for (int k = 0; k < lists; ++k) out += Format(" list %d                 ", k);
            while (out.back() == ' ') out.pop_back();
            out += '\n';
        }
        for (const InspectMotionNode& n : d.nodes) {
            if (lists == 0) break;
            out += Format("    %-5d", n.index);
            for (int k = 0; k < lists; ++k) {
                const InspectKeyList& l = n.lists[k];
                std::string cell = "-";
                if (l.offset != 0 && l.count > 0) {
                    cell = Format("%s %d", ListKind(d.listCount, k), l.count);
                    if (l.readable) cell += Format(" (%u-%u)", l.firstFrame, l.lastFrame);
                }
                out += Format(" %-23s", cell.c_str());
            }
            while (!out.empty() && out.back() == ' ') out.pop_back();
            out += '\n';
        }
    }
    if (!r.problems.empty()) out += Format("problems: %zu (listed on standard error)\n", r.problems.size());
    return out;
}

namespace {

void JsonChunks(JsonWriter& w, const FileChunks& fc) {
    w.Key("chunks");
    w.BeginArray();
    for (const ChunkInfo& c : fc.chunks) {
        w.BeginObject();
        w.Key("tag");
        w.String(PrintableTag(c.tag));
        w.Key("offset");
        w.UInt(c.offset);
        w.Key("size");
        w.UInt(c.size);
        if (c.isData) {
            w.Key("fieldsListed");
            w.UInt(c.fieldsListed);
            w.Key("nullFields");
            w.UInt(c.nullFields);
        } else if (c.isRelocation) {
            w.Key("entries");
            w.UInt(c.entries);
            w.Key("paddingEntries");
            w.UInt(c.paddingEntries);
        }
        w.EndObject();
    }
    w.EndArray();
}

void JsonTriple(JsonWriter& w, const char* key, const float* v) {
    w.Key(key);
    w.BeginArray();
    for (int i = 0; i < 3; ++i) w.Float(v[i]);
    w.EndArray();
}

void JsonFile(JsonWriter& w, const InputFile& f) {
    w.Key("file");
    w.String(f.name);
    w.Key("embedded");
    w.Bool(f.embedded);
    w.Key("size");
    w.UInt(f.size);
}

}  // namespace

std::string InspectJson(const InspectReport& r) {
    JsonWriter w;
    w.BeginObject();
    w.Key("model");
    w.BeginObject();
    JsonFile(w, *r.model);
    JsonChunks(w, r.modelChunks);
    if (r.tree) {
        const ModelReport& t = *r.tree;
        w.Key("levels");
        w.Int(t.nodes.empty() ? 0 : t.maxDepth + 1);
        w.Key("strips");
        w.UInt(t.strips);
        w.Key("stripVertices");
        w.UInt(t.stripVertices);
        w.Key("entriesUsed");
        w.UInt(t.entriesUsed);
        w.Key("nodes");
        w.BeginArray();
        for (const InspectNode& n : t.nodes) {
            w.BeginObject();
            w.Key("index");
            w.Int(n.index);
            w.Key("depth");
            w.Int(n.depth);
            w.Key("offset");
            w.UInt(n.offset);
            w.Key("flags");
            w.UInt(n.flags);
            JsonTriple(w, "position", n.position);
            w.Key("rotationUnits");
            w.BeginArray();
            for (int32_t u : n.rotation) w.Int(u);
            w.EndArray();
            const float radians[3] = {UnitsToRadians(n.rotation[0]), UnitsToRadians(n.rotation[1]),
                                      UnitsToRadians(n.rotation[2])};
            JsonTriple(w, "rotationRadians", radians);
            JsonTriple(w, "scale", n.scale);
            w.Key("model");
            if (n.model >= 0) w.Int(n.model);
            else w.Null();
            w.EndObject();
        }
        w.EndArray();
        w.Key("models");
        w.BeginArray();
        for (const InspectModelLists& m : t.models) {
            w.BeginObject();
            w.Key("node");
            w.Int(m.node);
            w.Key("offset");
            w.UInt(m.offset);
            w.Key("vertexChunks");
            w.BeginArray();
            for (const InspectVertexChunk& v : m.vertexChunks) {
                w.BeginObject();
                w.Key("offset");
                w.UInt(v.offset);
                w.Key("type");
                w.UInt(v.type);
                w.Key("flags");
                w.UInt(v.flags);
                w.Key("count");
                w.UInt(v.count);
                w.Key("firstEntry");
                w.UInt(v.firstEntry);
                w.Key("lastEntry");
                w.UInt(v.lastEntry);
                w.Key("known");
                w.Bool(v.known);
                w.EndObject();
            }
            w.EndArray();
            const PolygonSummary s = Summarise(m);
            w.Key("polygons");
            w.BeginObject();
            w.Key("materials");
            w.UInt(s.materials);
            w.Key("colours");
            w.BeginArray();
            for (uint32_t c : s.colours) w.String(Format("0x%08X", c));
            w.EndArray();
            w.Key("stripChunks");
            w.UInt(s.stripChunks);
            w.Key("strips");
            w.UInt(s.strips);
            w.Key("vertices");
            w.UInt(s.vertices);
            w.Key("cacheSlots");
            w.BeginArray();
            for (int32_t slot : s.cacheSlots) w.Int(slot);
            w.EndArray();
            w.Key("callSlots");
            w.BeginArray();
            for (int32_t slot : s.callSlots) w.Int(slot);
            w.EndArray();
            w.Key("chunks");
            w.BeginArray();
            for (const InspectPolygonChunk& c : m.polygonChunks) {
                w.BeginObject();
                w.Key("offset");
                w.UInt(c.offset);
                w.Key("type");
                w.UInt(c.type);
                w.Key("kind");
                w.String(PolygonKindName(c.kind));
                w.EndObject();
            }
            w.EndArray();
            w.EndObject();
            w.EndObject();
        }
        w.EndArray();
    }
    w.EndObject();

    w.Key("motion");
    w.BeginObject();
    JsonFile(w, *r.motion);
    JsonChunks(w, r.motionChunks);
    if (r.dance) {
        const MotionReport& d = *r.dance;
        w.Key("frameCount");
        w.UInt(d.frameCount);
        w.Key("typeFlags");
        w.UInt(d.typeFlags);
        w.Key("listCount");
        w.UInt(d.listCount);
        w.Key("nodes");
        w.BeginArray();
        for (const InspectMotionNode& n : d.nodes) {
            w.BeginObject();
            w.Key("index");
            w.Int(n.index);
            w.Key("lists");
            w.BeginArray();
            for (int k = 0; k < 3; ++k) {
                const InspectKeyList& l = n.lists[k];
                if (k >= d.listCount) break;
                w.BeginObject();
                w.Key("keys");
                w.String(ListKind(d.listCount, k));
                w.Key("count");
                w.Int(l.offset != 0 ? l.count : 0);
                if (l.offset != 0 && l.count > 0 && l.readable) {
                    w.Key("firstFrame");
                    w.UInt(l.firstFrame);
                    w.Key("lastFrame");
                    w.UInt(l.lastFrame);
                }
                w.EndObject();
            }
            w.EndArray();
            w.EndObject();
        }
        w.EndArray();
    }
    w.EndObject();

    w.Key("problems");
    w.BeginArray();
    for (const InputProblem& p : r.problems) {
        w.BeginObject();
        w.Key("file");
        w.String(p.file);
        w.Key("offset");
        w.UInt(p.offset);
        w.Key("reason");
        w.String(p.reason);
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    return w.Text();
}
