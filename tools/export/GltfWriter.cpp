// glTF 2.0 output. One buffer; one buffer view per accessor, 4-byte aligned; positions and
// animation times carry their bounds; materials are double-sided, as the device culls nothing.
#include "tools/export/GltfWriter.h"

#include "tools/inspect/JsonWriter.h"
#include "tools/png/Png.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace qmexport {

namespace {

constexpr int kFloat = 5126;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;
constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kLinear = 9729;
constexpr int kRepeat = 10497;

float Clean(float v) { return std::isfinite(v) ? v : 0.0f; }

// The device's colours are display colours; glTF's colour factors are linear light.
float SrgbToLinear(float c) {
    const double v = c;
    return static_cast<float>(v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
}

struct Accessor {
    int view;
    int componentType;
    uint32_t count;
    const char* type;
    std::vector<double> min, max;  // empty: not written
};

struct BufferView {
    uint32_t offset;
    uint32_t length;
    int target;  // 0: none
};

class Builder {
public:
    // Appends bytes as a buffer view of their own; returns its index.
    int View(const void* data, size_t bytes, int target) {
        while (m_buffer.size() % 4 != 0) m_buffer.push_back(0);
        const uint32_t offset = static_cast<uint32_t>(m_buffer.size());
        const auto* p = static_cast<const uint8_t*>(data);
        m_buffer.insert(m_buffer.end(), p, p + bytes);
        m_views.push_back(BufferView{offset, static_cast<uint32_t>(bytes), target});
        return static_cast<int>(m_views.size()) - 1;
    }

    // A float accessor of `components` per element (VEC2 ... MAT4), with bounds if asked.
    int Floats(const std::vector<float>& values, int components, const char* type, int target, bool bounds) {
        Accessor a{View(values.data(), values.size() * sizeof(float), target), kFloat,
                   static_cast<uint32_t>(values.size() / static_cast<size_t>(components)), type, {}, {}};
        if (bounds && !values.empty()) {
            a.min.assign(values.begin(), values.begin() + components);
            a.max = a.min;
            for (size_t i = 0; i < values.size(); ++i) {
                const size_t c = i % static_cast<size_t>(components);
                a.min[c] = std::min(a.min[c], static_cast<double>(values[i]));
                a.max[c] = std::max(a.max[c], static_cast<double>(values[i]));
            }
        }
        m_accessors.push_back(std::move(a));
        return static_cast<int>(m_accessors.size()) - 1;
    }

    int Add(Accessor a) {
        m_accessors.push_back(std::move(a));
        return static_cast<int>(m_accessors.size()) - 1;
    }

    std::vector<uint8_t>& Buffer() { return m_buffer; }
    const std::vector<BufferView>& Views() const { return m_views; }
    const std::vector<Accessor>& Accessors() const { return m_accessors; }

private:
    std::vector<uint8_t> m_buffer;
    std::vector<BufferView> m_views;
    std::vector<Accessor> m_accessors;
};

struct PrimitiveAccessors {
    int position, normal, texcoord, joints, weights, indices;
};

void WriteNumbers(JsonWriter& json, const char* key, const float* values, int count) {
    json.Key(key);
    json.BeginArray();
    for (int i = 0; i < count; ++i) json.Double(static_cast<double>(values[i]));
    json.EndArray();
}

const char* PathName(ChannelPath path) {
    switch (path) {
    case ChannelPath::Translation: return "translation";
    case ChannelPath::Rotation: return "rotation";
    case ChannelPath::Scale: return "scale";
    }
    return "translation";
}

// A quaternion the reader can take as a rotation: finite and unit length, else no turn.
void CleanRotation(const float in[4], float out[4]) {
    double length = 0.0;
    for (int i = 0; i < 4; ++i) length += static_cast<double>(in[i]) * in[i];
    length = std::sqrt(length);
    if (!std::isfinite(length) || length < 1e-6) {
        out[0] = out[1] = out[2] = 0.0f;
        out[3] = 1.0f;
        return;
    }
    for (int i = 0; i < 4; ++i) out[i] = static_cast<float>(in[i] / length);
}

}  // namespace

bool BuildGltf(const ExportScene& scene, const std::string& generator, const std::string& bufferUri,
               GltfDocument* document, std::string* error) {
    Builder b;
    const bool hasMesh = !scene.primitives.empty() && !scene.nodes.empty();
    const bool hasTexture = !scene.texturePixels.empty();

    // Materials that some primitive uses, in the order of first use.
    std::map<int32_t, int32_t> materialIndex;
    std::vector<int32_t> materials;
    for (const ExportPrimitive& p : scene.primitives)
        if (materialIndex.emplace(p.material, static_cast<int32_t>(materials.size())).second) materials.push_back(p.material);

    std::vector<PrimitiveAccessors> primitives;
    for (const ExportPrimitive& p : scene.primitives) {
        const bool textured = hasTexture && scene.materials[static_cast<size_t>(p.material)].textured;
        std::vector<float> positions, normals, uvs, weights;
        std::vector<uint16_t> joints;
        for (const ExportVertex& v : p.vertices) {
            for (int i = 0; i < 3; ++i) positions.push_back(Clean(v.position[i]));
            float n[3] = {Clean(v.normal[0]), Clean(v.normal[1]), Clean(v.normal[2])};
            if (n[0] == 0.0f && n[1] == 0.0f && n[2] == 0.0f) n[2] = 1.0f;
            normals.insert(normals.end(), n, n + 3);
            uvs.push_back(Clean(v.uv[0]));
            uvs.push_back(Clean(v.uv[1]));
            joints.insert(joints.end(), v.joints, v.joints + 4);
            weights.insert(weights.end(), v.weights, v.weights + 4);
        }
        PrimitiveAccessors a{};
        a.position = b.Floats(positions, 3, "VEC3", kArrayBuffer, true);
        a.normal = b.Floats(normals, 3, "VEC3", kArrayBuffer, false);
        a.texcoord = textured ? b.Floats(uvs, 2, "VEC2", kArrayBuffer, false) : -1;
        a.joints = b.Add(Accessor{b.View(joints.data(), joints.size() * 2, kArrayBuffer), kUnsignedShort,
                                  static_cast<uint32_t>(p.vertices.size()), "VEC4", {}, {}});
        a.weights = b.Floats(weights, 4, "VEC4", kArrayBuffer, false);
        // 16-bit indices while they fit (65535 is reserved for strip restarts).
        if (p.vertices.size() < 65535) {
            std::vector<uint16_t> indices(p.indices.begin(), p.indices.end());
            a.indices = b.Add(Accessor{b.View(indices.data(), indices.size() * 2, kElementArrayBuffer),
                                       kUnsignedShort, static_cast<uint32_t>(indices.size()), "SCALAR", {}, {}});
        } else {
            a.indices = b.Add(Accessor{b.View(p.indices.data(), p.indices.size() * 4, kElementArrayBuffer),
                                       kUnsignedInt, static_cast<uint32_t>(p.indices.size()), "SCALAR", {}, {}});
        }
        primitives.push_back(a);
    }

    int inverseBind = -1;
    if (hasMesh) {
        std::vector<float> matrices;
        for (const ExportNode& n : scene.nodes)
            for (float v : n.inverseBind) matrices.push_back(Clean(v));
        inverseBind = b.Floats(matrices, 16, "MAT4", 0, false);
    }

    // Animation: channels with the same key times share one input.
    std::map<std::vector<float>, int> inputs;
    std::vector<std::pair<int, int>> samplers;
    for (const ExportChannel& c : scene.channels) {
        auto found = inputs.find(c.times);
        if (found == inputs.end()) found = inputs.emplace(c.times, b.Floats(c.times, 1, "SCALAR", 0, true)).first;
        std::vector<float> values(c.values.size());
        if (c.path == ChannelPath::Rotation) {
            for (size_t i = 0; i + 3 < c.values.size(); i += 4) CleanRotation(&c.values[i], &values[i]);
        } else {
            for (size_t i = 0; i < c.values.size(); ++i) values[i] = Clean(c.values[i]);
        }
        const bool rotation = c.path == ChannelPath::Rotation;
        samplers.emplace_back(found->second, b.Floats(values, rotation ? 4 : 3, rotation ? "VEC4" : "VEC3", 0, false));
    }

    int imageView = -1;
    if (hasTexture) {
        png::Image image(scene.textureWidth, scene.textureHeight, 4);
        if (image.pixels.size() != scene.texturePixels.size()) {
            *error = "the texture's size does not match its pixels";
            return false;
        }
        image.pixels = scene.texturePixels;
        std::vector<uint8_t> encoded;
        if (!png::EncodePng(image, &encoded, error)) return false;
        imageView = b.View(encoded.data(), encoded.size(), 0);
    }
    while (b.Buffer().size() % 4 != 0) b.Buffer().push_back(0);

    JsonWriter json;
    json.BeginObject();
    json.Key("asset");
    json.BeginObject();
    json.Key("generator");
    json.String(generator);
    json.Key("version");
    json.String("2.0");
    json.EndObject();

    // Node indices: the tree (0 ...), then the mesh node, then a common parent when the tree has
    // more than one top node (a skin's joints need one root).
    const int32_t nodeCount = static_cast<int32_t>(scene.nodes.size());
    const int32_t meshNode = hasMesh ? nodeCount : -1;
    const bool wrapRoots = scene.roots.size() > 1;
    const int32_t wrapper = wrapRoots ? nodeCount + (hasMesh ? 1 : 0) : -1;
    json.Key("scene");
    json.Int(0);
    json.Key("scenes");
    json.BeginArray();
    json.BeginObject();
    json.Key("nodes");
    json.BeginArray();
    if (wrapRoots) json.Int(wrapper);
    else
        for (int32_t r : scene.roots) json.Int(r);
    if (hasMesh) json.Int(meshNode);
    json.EndArray();
    json.EndObject();
    json.EndArray();

    json.Key("nodes");
    json.BeginArray();
    for (const ExportNode& n : scene.nodes) {
        json.BeginObject();
        json.Key("name");
        json.String(n.name);
        if (!n.children.empty()) {
            json.Key("children");
            json.BeginArray();
            for (int32_t c : n.children) json.Int(c);
            json.EndArray();
        }
        const float t[3] = {Clean(n.translation[0]), Clean(n.translation[1]), Clean(n.translation[2])};
        float r[4];
        CleanRotation(n.rotation, r);
        const float s[3] = {Clean(n.scale[0]), Clean(n.scale[1]), Clean(n.scale[2])};
        WriteNumbers(json, "translation", t, 3);
        WriteNumbers(json, "rotation", r, 4);
        WriteNumbers(json, "scale", s, 3);
        json.EndObject();
    }
    if (hasMesh) {
        json.BeginObject();
        json.Key("name");
        json.String("mesh");
        json.Key("mesh");
        json.Int(0);
        json.Key("skin");
        json.Int(0);
        json.EndObject();
    }
    if (wrapRoots) {
        json.BeginObject();
        json.Key("name");
        json.String("model");
        json.Key("children");
        json.BeginArray();
        for (int32_t r : scene.roots) json.Int(r);
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();

    if (hasMesh) {
        json.Key("meshes");
        json.BeginArray();
        json.BeginObject();
        json.Key("name");
        json.String("model");
        json.Key("primitives");
        json.BeginArray();
        for (size_t i = 0; i < primitives.size(); ++i) {
            const PrimitiveAccessors& a = primitives[i];
            json.BeginObject();
            json.Key("attributes");
            json.BeginObject();
            json.Key("POSITION");
            json.Int(a.position);
            json.Key("NORMAL");
            json.Int(a.normal);
            if (a.texcoord >= 0) {
                json.Key("TEXCOORD_0");
                json.Int(a.texcoord);
            }
            json.Key("JOINTS_0");
            json.Int(a.joints);
            json.Key("WEIGHTS_0");
            json.Int(a.weights);
            json.EndObject();
            json.Key("indices");
            json.Int(a.indices);
            json.Key("material");
            json.Int(materialIndex[scene.primitives[i].material]);
            json.Key("mode");
            json.Int(4);
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        json.EndArray();

        json.Key("skins");
        json.BeginArray();
        json.BeginObject();
        json.Key("inverseBindMatrices");
        json.Int(inverseBind);
        json.Key("joints");
        json.BeginArray();
        for (int32_t i = 0; i < nodeCount; ++i) json.Int(i);
        json.EndArray();
        json.EndObject();
        json.EndArray();

        json.Key("materials");
        json.BeginArray();
        for (int32_t m : materials) {
            const ExportMaterial& material = scene.materials[static_cast<size_t>(m)];
            json.BeginObject();
            json.Key("pbrMetallicRoughness");
            json.BeginObject();
            float color[4];
            for (int i = 0; i < 4; ++i) color[i] = std::min(1.0f, std::max(0.0f, Clean(material.color[i])));
            for (int i = 0; i < 3; ++i) color[i] = SrgbToLinear(color[i]);
            WriteNumbers(json, "baseColorFactor", color, 4);
            if (hasTexture && material.textured) {
                json.Key("baseColorTexture");
                json.BeginObject();
                json.Key("index");
                json.Int(0);
                json.EndObject();
            }
            json.Key("metallicFactor");
            json.Int(0);
            json.Key("roughnessFactor");
            json.Double(0.7);
            json.EndObject();
            if (material.blend) {
                json.Key("alphaMode");
                json.String("BLEND");
            }
            json.Key("doubleSided");
            json.Bool(true);
            json.EndObject();
        }
        json.EndArray();
    }

    if (imageView >= 0) {
        json.Key("samplers");
        json.BeginArray();
        json.BeginObject();
        json.Key("magFilter");
        json.Int(kLinear);
        json.Key("minFilter");
        json.Int(kLinear);
        json.Key("wrapS");
        json.Int(kRepeat);
        json.Key("wrapT");
        json.Int(kRepeat);
        json.EndObject();
        json.EndArray();
        json.Key("images");
        json.BeginArray();
        json.BeginObject();
        json.Key("bufferView");
        json.Int(imageView);
        json.Key("mimeType");
        json.String("image/png");
        json.EndObject();
        json.EndArray();
        json.Key("textures");
        json.BeginArray();
        json.BeginObject();
        json.Key("sampler");
        json.Int(0);
        json.Key("source");
        json.Int(0);
        json.EndObject();
        json.EndArray();
    }

    if (!scene.channels.empty()) {
        json.Key("animations");
        json.BeginArray();
        json.BeginObject();
        json.Key("name");
        json.String("motion");
        json.Key("samplers");
        json.BeginArray();
        for (const auto& [input, output] : samplers) {
            json.BeginObject();
            json.Key("input");
            json.Int(input);
            json.Key("output");
            json.Int(output);
            json.Key("interpolation");
            json.String("LINEAR");
            json.EndObject();
        }
        json.EndArray();
        json.Key("channels");
        json.BeginArray();
        for (size_t i = 0; i < scene.channels.size(); ++i) {
            json.BeginObject();
            json.Key("sampler");
            json.Int(static_cast<int64_t>(i));
            json.Key("target");
            json.BeginObject();
            json.Key("node");
            json.Int(scene.channels[i].node);
            json.Key("path");
            json.String(PathName(scene.channels[i].path));
            json.EndObject();
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        json.EndArray();
    }

    if (!b.Accessors().empty()) {
        json.Key("accessors");
        json.BeginArray();
        for (const Accessor& a : b.Accessors()) {
            json.BeginObject();
            json.Key("bufferView");
            json.Int(a.view);
            json.Key("componentType");
            json.Int(a.componentType);
            json.Key("count");
            json.UInt(a.count);
            json.Key("type");
            json.String(a.type);
            if (!a.min.empty()) {
                json.Key("min");
                json.BeginArray();
                for (double v : a.min) json.Double(v);
                json.EndArray();
                json.Key("max");
                json.BeginArray();
                for (double v : a.max) json.Double(v);
                json.EndArray();
            }
            json.EndObject();
        }
        json.EndArray();
    }
    if (!b.Views().empty()) {
        json.Key("bufferViews");
        json.BeginArray();
        for (const BufferView& v : b.Views()) {
            json.BeginObject();
            json.Key("buffer");
            json.Int(0);
            if (v.offset != 0) {
                json.Key("byteOffset");
                json.UInt(v.offset);
            }
            json.Key("byteLength");
            json.UInt(v.length);
            if (v.target != 0) {
                json.Key("target");
                json.Int(v.target);
            }
            json.EndObject();
        }
        json.EndArray();
        json.Key("buffers");
        json.BeginArray();
        json.BeginObject();
        json.Key("byteLength");
        json.UInt(b.Buffer().size());
        if (!bufferUri.empty()) {
            json.Key("uri");
            json.String(bufferUri);
        }
        json.EndObject();
        json.EndArray();
    }
    json.EndObject();

    document->json = json.Text();
    document->buffer = std::move(b.Buffer());
    return true;
}

std::vector<uint8_t> PackGlb(const GltfDocument& document) {
    std::string json = document.json;
    while (json.size() % 4 != 0) json.push_back(' ');
    std::vector<uint8_t> bin = document.buffer;
    while (bin.size() % 4 != 0) bin.push_back(0);
    const bool hasBin = !bin.empty();
    const uint32_t total = 12 + 8 + static_cast<uint32_t>(json.size()) + (hasBin ? 8 + static_cast<uint32_t>(bin.size()) : 0);
    std::vector<uint8_t> out;
    out.reserve(total);
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    u32(0x46546C67);  // "glTF"
    u32(2);
    u32(total);
    u32(static_cast<uint32_t>(json.size()));
    u32(0x4E4F534A);  // "JSON"
    out.insert(out.end(), json.begin(), json.end());
    if (hasBin) {
        u32(static_cast<uint32_t>(bin.size()));
        u32(0x004E4942);  // "BIN\0"
        out.insert(out.end(), bin.begin(), bin.end());
    }
    return out;
}

}  // namespace qmexport
