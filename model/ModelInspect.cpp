// Read-only inspection of model and motion bodies (tools and asset checks; allocation is fine
// here, this is never on the drawing path).
#include "model/ModelInspect.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace {

inline uint16_t U16(const uint8_t* p) { return LoadLE16(p); }
inline uint32_t U32(const uint8_t* p) { return LoadLE32(p); }

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
}

class ModelWalker {
public:
    ModelWalker(ChunkBody body, int32_t vertexCapacity, int32_t matrixCapacity, uint64_t maxNodeVisits)
        : m_body(body),
          m_maxNodeVisits(maxNodeVisits),
          m_vertexCapacity(vertexCapacity < 0 ? 0u : static_cast<uint32_t>(vertexCapacity)),
          m_matrixCapacity(matrixCapacity),
          m_onPath(body.size / 4 + 1, false) {
        for (bool& f : m_filled) f = false;
    }

    ModelReport Run() {
        ModelObject root;
        if (!ReadRecord(m_body, 0, &root)) {
            Problem(0, "no root object: the body is shorter than one node");
            return std::move(m_report);
        }
        WalkTree();
        if (m_tooDeep > 0)
            Problem(m_firstTooDeep, std::to_string(m_tooDeep) + (m_tooDeep == 1 ? " node is" : " nodes are") +
                                        " deeper than a matrix stack of " + std::to_string(m_matrixCapacity) +
                                        " entries and not drawn, the first at depth " +
                                        std::to_string(m_firstTooDeepDepth));
        return std::move(m_report);
    }

private:
    void Problem(uint32_t offset, std::string reason) { m_report.problems.push_back({offset, std::move(reason)}); }

    void NoteEntry(uint32_t entry, uint32_t offset, const char* what) {
        if (entry + 1 > m_report.entriesUsed) m_report.entriesUsed = entry + 1;
        if (entry >= m_vertexCapacity)
            Problem(offset, std::string(what) + " entry " + std::to_string(entry) + " is past the work buffer capacity " +
                                std::to_string(m_vertexCapacity));
    }

    // The node a field leads to. A node reached again from another parent is drawn again (a
    // shared subtree); one already on the current path is a cycle, which the drawing does not
    // follow.
    bool Follow(uint32_t from, uint32_t field, const char* what, ModelObject* node) {
        if (field == 0) return false;
        if (!ReadRecord(m_body, field, node)) {
            Problem(from, std::string(what) + " pointer " + Hex(field) + " is not a node inside the body");
            return false;
        }
        if (m_onPath[field / 4]) {
            Problem(from, std::string(what) + " pointer " + Hex(field) + " leads back to a node on its own path (cycle)");
            return false;
        }
        return true;
    }

    // In drawing order, as the drawing walks it: one level per tree level, each holding the
    // nodes of its sibling chain visited so far (all on the current path).
    void WalkTree() {
        struct Level {
            std::vector<uint32_t> chain;
            uint32_t sibling;
        };
        std::vector<Level> stack;
        uint32_t offset = 0;
        ModelObject node;
        ReadRecord(m_body, 0, &node);
        stack.push_back({});
        for (;;) {
            if (m_report.nodes.size() >= m_maxNodeVisits) {
                Problem(0, "the tree unfolds into more than " + std::to_string(m_maxNodeVisits) +
                               " node visits (shared subtrees drawn again), past the work limit of one frame");
                m_report.visitsCut = true;
                return;
            }
            VisitNode(node, offset, static_cast<int32_t>(stack.size()) - 1);
            m_onPath[offset / 4] = true;
            stack.back().chain.push_back(offset);
            stack.back().sibling = node.sibling;
            const uint32_t child = node.child;
            if (Follow(offset, child, "child", &node)) {
                offset = child;
                stack.push_back({});
                continue;
            }
            for (;;) {
                Level& level = stack.back();
                const uint32_t sibling = level.sibling;
                if (Follow(level.chain.back(), sibling, "sibling", &node)) {
                    offset = sibling;
                    break;
                }
                for (uint32_t at : level.chain) m_onPath[at / 4] = false;
                stack.pop_back();
                if (stack.empty()) return;
            }
        }
    }

    void VisitNode(const ModelObject& nodeRecord, uint32_t offset, int32_t depth) {
        const ModelObject* node = &nodeRecord;
        InspectNode n{};
        n.index = static_cast<int32_t>(m_report.nodes.size());
        n.depth = depth;
        n.offset = offset;
        n.flags = node->flags;
        for (int i = 0; i < 3; ++i) {
            n.position[i] = node->position[i];
            n.rotation[i] = node->rotation[i];
            n.scale[i] = node->scale[i];
        }
        n.model = -1;
        if (depth > m_report.maxDepth) m_report.maxDepth = depth;
        // The root takes stack entry 1 (entry 0 is the identity). A long chain has thousands of
        // such nodes: they are counted and reported once, at the first.
        if (depth + 2 > m_matrixCapacity && m_tooDeep++ == 0) {
            m_firstTooDeep = offset;
            m_firstTooDeepDepth = depth;
        }
        if (node->model != 0) {
            ChunkModel model;
            const auto seen = m_modelIndex.find(node->model);
            if (seen != m_modelIndex.end()) {
                // A model drawn by several nodes is listed once, under the first of them.
                n.model = seen->second;
            } else if (!FollowRecord(m_body, node->model, &model)) {
                Problem(offset, "model pointer " + Hex(node->model) + " is not a chunk model inside the body");
            } else {
                n.model = static_cast<int32_t>(m_report.models.size());
                m_modelIndex.emplace(node->model, n.model);
                InspectModelLists lists{};
                lists.offset = node->model;
                lists.node = n.index;
                lists.vertexList = model.vertexList;
                lists.polygonList = model.polygonList;
                if (model.vertexList != 0) WalkVertices(model.vertexList, node->model, &lists);
                if (model.polygonList != 0) WalkPolygons(model.polygonList, node->model, &lists);
                m_report.models.push_back(std::move(lists));
            }
        }
        m_report.nodes.push_back(n);
    }

    void WalkVertices(uint32_t list, uint32_t from, InspectModelLists* out) {
        if (BodyBytesAt(m_body, list, 4) == nullptr) {
            Problem(from, "vertex list pointer " + Hex(list) + " is not inside the body");
            return;
        }
        uint32_t offset = list;
        for (;;) {
            const uint8_t* h = BodyBytesAt(m_body, offset, 4);
            if (h == nullptr) {
                Problem(offset, "vertex list runs to the end of the body without an end chunk");
                return;
            }
            if (h[0] == 0xFF) return;
            InspectVertexChunk c{};
            c.offset = offset;
            c.type = h[0];
            c.flags = h[1];
            c.sizeWords = U16(h + 2);
            const uint32_t stride = c.type == 0x29 ? 24 : c.type == 0x2C ? 28 : (c.type == 0x24 || c.type == 0x30) ? 16 : 0;
            c.known = stride != 0;
            const uint64_t end = offset + 4u + 4u * static_cast<uint64_t>(c.sizeWords);
            if (!c.known) Problem(offset, "unknown vertex chunk type " + Hex(c.type) + " skipped by its size");
            if (c.known && c.sizeWords >= 1 && offset + 8u <= m_body.size) {
                c.indexOffset = U16(h + 4);
                c.count = U16(h + 6);
                const uint64_t need = 8u + static_cast<uint64_t>(c.count) * stride;
                if (need > end - offset || offset + need > m_body.size)
                    Problem(offset, "vertex chunk declares " + std::to_string(c.count) + " vertices but has room for fewer");
                const uint32_t mode = c.flags & 3u;
                if (c.type == 0x2C && mode != 0) {
                    bool any = false;
                    for (uint32_t i = 0; i < c.count; ++i) {
                        const uint64_t at = offset + 8u + static_cast<uint64_t>(i) * 28u + 24u;
                        if (at + 4 > end || at + 4 > m_body.size) break;
                        const uint32_t target = U32(m_body.data + at) & 0xFFFFu;
                        if (mode == 3) continue;
                        if (!any || target < c.firstEntry) c.firstEntry = target;
                        if (!any || target > c.lastEntry) c.lastEntry = target;
                        any = true;
                        NoteEntry(target, offset, "weighted vertex");
                    }
                } else if (c.count > 0) {
                    c.firstEntry = c.indexOffset;
                    c.lastEntry = c.indexOffset + c.count - 1;
                    NoteEntry(c.lastEntry, offset, "vertex chunk");
                }
            }
            out->vertexChunks.push_back(c);
            if (end >= m_body.size) {
                if (end > m_body.size) Problem(offset, "vertex chunk runs past the end of the body");
                else Problem(offset, "vertex list runs to the end of the body without an end chunk");
                return;
            }
            offset = static_cast<uint32_t>(end);
        }
    }

    void WalkPolygons(uint32_t list, uint32_t from, InspectModelLists* out) {
        if (BodyBytesAt(m_body, list, 2) == nullptr) {
            Problem(from, "polygon list pointer " + Hex(list) + " is not inside the body");
            return;
        }
        uint32_t offset = list;
        int32_t cachedSlot = -1;
        for (;;) {
            if (offset + 2u > m_body.size) {
                Problem(offset, "polygon list runs to the end of the body without an end chunk");
                return;
            }
            const uint8_t* p = m_body.data + offset;
            InspectPolygonChunk c{};
            c.offset = offset;
            c.type = p[0];
            c.flags = p[1];
            c.slot = -1;
            c.textureId = -1;
            c.cachedSlot = cachedSlot;
            uint64_t length = 2;
            auto room = [&](uint64_t bytes) {
                if (offset + bytes <= m_body.size) return true;
                Problem(offset, "polygon chunk type " + Hex(c.type) + " runs past the end of the body");
                return false;
            };
            if (c.type <= 0x03) {
                c.kind = PolygonChunkKind::Null;
            } else if (c.type == 0x04) {
                c.kind = PolygonChunkKind::Cache;
                c.slot = c.flags;
                // A cache chunk inside a cached list is sound: a replay stops there.
                m_filled[c.flags] = true;
                cachedSlot = c.flags;
            } else if (c.type == 0x05) {
                c.kind = PolygonChunkKind::Call;
                c.slot = c.flags;
                if (cachedSlot == c.flags)
                    Problem(offset, "call chunk calls its own slot " + std::to_string(c.flags) + " (not followed)");
                else if (!m_filled[c.flags] && cachedSlot < 0)
                    Problem(offset, "call chunk for slot " + std::to_string(c.flags) + " that no earlier cache chunk filled");
            } else if (c.type == 0x08) {
                c.kind = PolygonChunkKind::Texture;
                length = 4;
                if (!room(length)) return;
                c.textureId = U16(p + 2) & 0x1FFF;
            } else if (IsMaterialChunk(c.type)) {
                c.kind = PolygonChunkKind::Material;
                c.colorMask = static_cast<uint8_t>(c.type - 0x10);
                length = MaterialChunkBytes(c.type);
                if (!room(length)) return;
                const uint8_t* stored = p + 4;
                for (int k = 0; k < 3; ++k) {
                    if ((c.colorMask & (1u << k)) == 0) continue;
                    c.colors[k] = MaterialColor{stored[2], stored[1], stored[0], stored[3]};
                    stored += 4;
                }
            } else if (c.type >= 0x40 && c.type <= 0x48) {
                c.kind = c.type <= 0x43 ? PolygonChunkKind::Strip : PolygonChunkKind::Sized;
                if (!room(4)) return;
                length = 4u + 2u * static_cast<uint64_t>(U16(p + 2));
                if (!room(length)) return;
                if (c.kind == PolygonChunkKind::Strip) ReadStrips(offset, offset + length, &c);
            } else if (c.type == 0xFF) {
                c.kind = PolygonChunkKind::End;
                out->polygonChunks.push_back(c);
                return;
            } else {
                c.kind = PolygonChunkKind::Unknown;
                Problem(offset, "unknown polygon chunk type " + Hex(c.type) + " ends the list");
                out->polygonChunks.push_back(c);
                return;
            }
            out->polygonChunks.push_back(c);
            offset = static_cast<uint32_t>(offset + length);
        }
    }

    void ReadStrips(uint32_t offset, uint64_t end, InspectPolygonChunk* c) {
        const uint32_t record = c->type == 0x40 ? 2 : c->type == 0x43 ? 8 : 6;
        uint64_t at = offset + 4u;
        if (at + 2 > end) {
            Problem(offset, "strip chunk too short for its strip header");
            return;
        }
        const uint16_t header = U16(m_body.data + at);
        at += 2;
        c->strips = header & 0x3FFFu;
        c->userWords = header >> 14;
        for (uint32_t s = 0; s < c->strips; ++s) {
            if (at + 2 > end) {
                Problem(offset, "strip chunk holds fewer strips than its header says");
                return;
            }
            const int32_t length = static_cast<int16_t>(U16(m_body.data + at));
            at += 2;
            const uint32_t n = static_cast<uint32_t>(length < 0 ? -length : length);
            for (uint32_t j = 0; j < n; ++j) {
                if (at + record > end) {
                    Problem(offset, "strip runs past the end of its chunk");
                    return;
                }
                const uint32_t entry = U16(m_body.data + at);
                if (entry > c->maxEntry) c->maxEntry = entry;
                NoteEntry(entry, offset, "strip");
                ++c->vertices;
                at += record;
                if (j >= 2) at += 2u * c->userWords;
            }
            ++m_report.strips;
        }
        m_report.stripVertices += c->vertices;
    }

    ChunkBody m_body;
    uint64_t m_maxNodeVisits;
    uint32_t m_vertexCapacity;
    int32_t m_matrixCapacity;
    uint32_t m_tooDeep = 0;  // nodes deeper than the matrix stack
    uint32_t m_firstTooDeep = 0;
    int32_t m_firstTooDeepDepth = 0;
    std::vector<bool> m_onPath;
    std::map<uint32_t, int32_t> m_modelIndex;  // ChunkModel offset -> index in m_report.models
    bool m_filled[kCacheSlots];
    ModelReport m_report;
};

}  // namespace

ModelReport mdlInspectModel(ChunkBody model, int32_t vertexCapacity, int32_t matrixCapacity, uint64_t maxNodeVisits) {
    return ModelWalker(model, vertexCapacity, matrixCapacity, maxNodeVisits).Run();
}

MotionReport mdlInspectMotion(ChunkBody motion, int32_t nodeCount) {
    MotionReport r;
    MotionData headerRecord;
    const MotionData* header = ReadRecord(motion, 0, &headerRecord) ? &headerRecord : nullptr;
    if (header == nullptr) {
        r.problems.push_back({0, "no motion header: the body is shorter than 12 bytes"});
        return r;
    }
    r.frameCount = header->frameCount;
    r.typeFlags = header->typeFlags;
    r.listCount = header->listCount & 0xFu;
    r.nodeTable = header->nodeTable;
    if (r.listCount < 1 || r.listCount > 3) {
        r.problems.push_back({10, "list count " + std::to_string(r.listCount) + " is not 1 to 3: no keys are read"});
        return r;
    }
    if (header->nodeTable == 0) {
        r.problems.push_back({0, "null node table: every node keeps its stored pose"});
        return r;
    }
    const uint32_t entryBytes = 8u * r.listCount;
    for (int32_t i = 0; i < nodeCount; ++i) {
        const uint64_t at = header->nodeTable + static_cast<uint64_t>(i) * entryBytes;
        // A node table is pointer fields: it stands on a word, as the drawing requires.
        const uint8_t* entry = at <= UINT32_MAX && (at & 3u) == 0
                                   ? BodyBytesAt(motion, static_cast<uint32_t>(at), entryBytes)
                                   : nullptr;
        if (entry == nullptr) {
            r.problems.push_back({static_cast<uint32_t>(at > UINT32_MAX ? UINT32_MAX : at),
                                  "motion too short for the tree: no node table entry for node " + std::to_string(i) +
                                      " of " + std::to_string(nodeCount)});
            return r;
        }
        InspectMotionNode n{};
        n.index = i;
        n.offset = static_cast<uint32_t>(at);
        for (uint32_t k = 0; k < r.listCount; ++k) {
            InspectKeyList& list = n.lists[k];
            list.offset = U32(entry + 4 * k);
            list.count = static_cast<int32_t>(U32(entry + 4 * (r.listCount + k)));
            if (list.offset == 0 || list.count <= 0) continue;
            const uint8_t* keys = BodyRangeAt(motion, list.offset, static_cast<uint64_t>(list.count) * 16u);
            if (keys == nullptr) {
                r.problems.push_back({n.offset, "node " + std::to_string(i) + " key list " + std::to_string(k) + " (" +
                                                    std::to_string(list.count) + " keys at " + Hex(list.offset) +
                                                    ") is not inside the body: the node keeps its stored value"});
                continue;
            }
            list.readable = true;
            auto frameOf = [keys](int32_t j) { return U32(keys + 16u * static_cast<uint32_t>(j)); };
            list.firstFrame = frameOf(0);
            list.lastFrame = frameOf(list.count - 1);
            for (int32_t j = 1; j < list.count; ++j) {
                if (frameOf(j) <= frameOf(j - 1)) {
                    r.problems.push_back({list.offset + 16u * static_cast<uint32_t>(j),
                                          "node " + std::to_string(i) + " key list " + std::to_string(k) +
                                              ": keys out of frame order"});
                    break;
                }
            }
        }
        r.nodes.push_back(n);
    }
    return r;
}
