// Object tree traversal: node before its children, children before later siblings, each
// node's transform built on the library's matrix stack.
//
// The walk is iterative (a long sibling chain or a deep tree must not exhaust the call stack).
// A subtree reached from several parents is drawn once per parent, as the tree says; only a
// node met again on its own path (an ancestor, or an earlier sibling in a chain the walk is
// inside) is not followed, since that walk would never end. The draw's work limit bounds the
// rest. A node whose push is refused (tree deeper than the matrix buffer) is neither
// transformed nor drawn, nor are its children, but each still takes its motion entry so the
// nodes after them stay posed right.
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"

#include <cstdint>
#include <vector>

namespace {

// The key list of `kind` for the node being transformed; false when the motion has none.
bool FindKeyList(MotionKeyKind kind, uint32_t* field, int32_t* count) {
    const ModelState& s = mdlStateRef();
    return mdlFindKeyList(s.motion, s.nodeIndex, kind, field, count);
}

// The key array of `count` 16-byte keys a list field leads to, or null if it leaves the body.
const uint8_t* KeyBytes(uint32_t field, int32_t count) {
    return BodyRangeAt(mdlStateRef().motion, field, static_cast<uint64_t>(count) * 16u);
}

// The walk's bookkeeping, kept between draws so a steady frame allocates nothing: the nodes on
// the current path (one bit per body word, all clear between draws) and one record per level.
struct Level {
    size_t pathStart;  // where this level's nodes begin in s_path
    uint32_t sibling;  // the next node of this level's chain
    bool pushed;
};
std::vector<uint64_t> s_onPath;
std::vector<uint32_t> s_path;
std::vector<Level> s_levels;

bool OnPath(uint32_t offset) { return (s_onPath[offset / 256] >> (offset / 4 % 64) & 1u) != 0; }
void SetOnPath(uint32_t offset, bool on) {
    const uint64_t bit = uint64_t{1} << (offset / 4 % 64);
    if (on) s_onPath[offset / 256] |= bit;
    else s_onPath[offset / 256] &= ~bit;
}

// Reads the node a field leads to, unless it is null, not a node, or on the current path.
bool NextNode(uint32_t field, ModelObject* node) {
    return field != 0 && ReadRecord(mdlStateRef().model, field, node) && !OnPath(field);
}

// Leaves the innermost level: its nodes are off the path again.
void LeaveLevel() {
    const Level& level = s_levels.back();
    if (level.pushed) mdlPopMatrix();
    for (size_t i = level.pathStart; i < s_path.size(); ++i) SetOnPath(s_path[i], false);
    s_path.resize(level.pathStart);
    s_levels.pop_back();
}

}  // namespace

bool mdlReadNodeEntry(ChunkBody motion, int32_t nodeIndex, MotionNodeEntry* entry, uint32_t* listCount) {
    MotionData header;
    if (!ReadRecord(motion, 0, &header) || nodeIndex < 0 || header.nodeTable == 0) return false;
    const uint32_t lists = header.listCount & 0xFu;
    if (lists < 1 || lists > 3) return false;
    const uint64_t offset = header.nodeTable + static_cast<uint64_t>(nodeIndex) * 8u * lists;
    if (offset > UINT32_MAX) return false;
    // The entry holds pointer fields: it stands on a word.
    if ((offset & 3u) != 0) return false;
    const uint8_t* words = BodyBytesAt(motion, static_cast<uint32_t>(offset), 8u * lists);
    if (words == nullptr) return false;
    *entry = MotionNodeEntry{};
    for (uint32_t i = 0; i < lists; ++i) {
        entry->keyLists[i] = LoadLE32(words + 4 * i);
        entry->keyCounts[i] = static_cast<int32_t>(LoadLE32(words + 4 * (lists + i)));
    }
    *listCount = lists;
    return true;
}

bool mdlFindKeyList(ChunkBody motion, int32_t nodeIndex, MotionKeyKind kind, uint32_t* field, int32_t* count) {
    MotionData header;
    if (!ReadRecord(motion, 0, &header)) return false;
    const uint32_t lists = header.listCount & 0xFu;
    int list = -1;
    switch (kind) {
    case MotionKeyKind::Position:
        if ((header.typeFlags & kMotionPositionKeys) != 0 && lists >= 1 && lists <= 3) list = 0;
        break;
    case MotionKeyKind::Angle:
        if ((header.typeFlags & kMotionAngleKeys) != 0 && lists >= 1 && lists <= 3) list = lists == 1 ? 0 : 1;
        break;
    case MotionKeyKind::Scale:
        if ((header.typeFlags & kMotionScaleKeys) != 0 && (lists == 1 || lists == 3)) list = lists == 1 ? 0 : 2;
        break;
    }
    if (list < 0) return false;
    MotionNodeEntry entry;
    uint32_t listCount = 0;
    if (!mdlReadNodeEntry(motion, nodeIndex, &entry, &listCount)) return false;
    *field = entry.keyLists[list];
    *count = entry.keyCounts[list];
    return *field != 0 && *count > 0;
}

void mdlApplyPosition(const ModelObject& node) {
    float v[3] = {node.position[0], node.position[1], node.position[2]};
    uint32_t field = 0;
    int32_t count = 0;
    if (FindKeyList(MotionKeyKind::Position, &field, &count))
        mdlSampleVectorKeys(KeyBytes(field, count), count,
                            mdlStateRef().frame, v);
    mdlTranslate(v[0], v[1], v[2]);
}

void mdlApplyRotation(const ModelObject& node) {
    float a[3] = {mdlAngleToRadians(node.rotation[0]), mdlAngleToRadians(node.rotation[1]),
                  mdlAngleToRadians(node.rotation[2])};
    uint32_t field = 0;
    int32_t count = 0;
    if (FindKeyList(MotionKeyKind::Angle, &field, &count))
        mdlSampleAngleKeys(KeyBytes(field, count), count,
                           mdlStateRef().frame, a);
    if ((node.flags & kObjectRotateZXY) == 0) {
        mdlRotateZ(-a[2]);
        mdlRotateY(-a[1]);
        mdlRotateX(-a[0]);
    } else {
        mdlRotateY(-a[1]);
        mdlRotateX(-a[0]);
        mdlRotateZ(-a[2]);
    }
}

void mdlApplyScale(const ModelObject& node) {
    float v[3] = {node.scale[0], node.scale[1], node.scale[2]};
    uint32_t field = 0;
    int32_t count = 0;
    if (FindKeyList(MotionKeyKind::Scale, &field, &count))
        mdlSampleVectorKeys(KeyBytes(field, count), count,
                            mdlStateRef().frame, v);
    mdlScale(v[0], v[1], v[2]);
}

void mdlApplyNodeTransform(const ModelObject& node) {
    mdlApplyPosition(node);
    mdlApplyRotation(node);
    mdlApplyScale(node);
}

void mdlDrawModel(const ChunkModel& model) {
    if (model.vertexList != 0) mdlTransformVertices(model.vertexList);
    if (model.polygonList != 0) mdlDrawPolygons(model.polygonList);
}

void mdlDrawObject(uint32_t nodeOffset) {
    ModelState& s = mdlStateRef();
    ModelObject node;
    if (!ReadRecord(s.model, nodeOffset, &node)) return;
    const size_t words = s.model.size / 256 + 1;
    if (s_onPath.size() < words) s_onPath.resize(words, 0);
    s_path.clear();
    s_levels.clear();
    // The first node stands for the rest of its chain, as the recursive walk it replaces did.
    s_levels.push_back(Level{0, 0, false});
    uint32_t offset = nodeOffset;
    for (;;) {
        if (!mdlSpendWork(1)) break;
        SetOnPath(offset, true);
        s_path.push_back(offset);
        Level& level = s_levels.back();
        level.pushed = mdlPushMatrix() == 0;
        if (level.pushed) mdlApplyNodeTransform(node);
        mdlNextNode();
        if (level.pushed) {
            ChunkModel model;
            if (FollowRecord(s.model, node.model, &model)) mdlDrawModel(model);
        }
        level.sibling = node.sibling;

        const uint32_t childOffset = node.child;
        if (NextNode(childOffset, &node)) {
            s_levels.push_back(Level{s_path.size(), 0, false});
            offset = childOffset;
            continue;
        }
        // Leave finished levels until one has a sibling to go on with.
        bool more = false;
        while (!s_levels.empty()) {
            Level& current = s_levels.back();
            if (current.pushed) mdlPopMatrix();
            current.pushed = false;
            const uint32_t siblingOffset = current.sibling;
            if (!s.workCut && NextNode(siblingOffset, &node)) {
                offset = siblingOffset;
                more = true;
                break;
            }
            LeaveLevel();
        }
        if (!more) return;
    }
    // Cut by the work limit: every level still open is left, so the path is clear again.
    while (!s_levels.empty()) LeaveLevel();
}
