// Object tree traversal: node before its children, children before later siblings, each
// node's transform built on the library's matrix stack.
//
// The walk is iterative (a long sibling chain or a deep tree must not exhaust the call
// stack) and visits at most one node per ModelObject-sized piece of the body, so a cycle
// through `child` or `sibling` ends. A node whose push is refused (tree deeper than the matrix
// buffer) is neither transformed nor drawn, nor are its children, but each still takes its
// motion entry so the nodes after them stay posed right.
#include "model/ModelInternal.h"
#include "model/ModelLibrary.h"

#include <cstdint>

namespace {

enum class KeyKind { Position, Angle, Scale };

// The key list of `kind` for the node being transformed; false when the motion has none.
bool FindKeyList(KeyKind kind, uint32_t* field, int32_t* count) {
    const ModelState& s = mdlStateRef();
    const MotionData* header = BodyAt<MotionData>(s.motion, 0);
    if (header == nullptr) return false;
    const uint32_t lists = header->listCount & 0xFu;
    int list = -1;
    switch (kind) {
    case KeyKind::Position:
        if ((header->typeFlags & kMotionPositionKeys) != 0 && lists >= 1 && lists <= 3) list = 0;
        break;
    case KeyKind::Angle:
        if ((header->typeFlags & kMotionAngleKeys) != 0 && lists >= 1 && lists <= 3) list = lists == 1 ? 0 : 1;
        break;
    case KeyKind::Scale:
        if ((header->typeFlags & kMotionScaleKeys) != 0 && (lists == 1 || lists == 3)) list = lists == 1 ? 0 : 2;
        break;
    }
    if (list < 0) return false;
    MotionNodeEntry entry;
    uint32_t listCount = 0;
    if (!mdlReadNodeEntry(s.motion, s.nodeIndex, &entry, &listCount)) return false;
    *field = entry.keyLists[list];
    *count = entry.keyCounts[list];
    return *field != 0 && *count > 0;
}

}  // namespace

bool mdlReadNodeEntry(ChunkBody motion, int32_t nodeIndex, MotionNodeEntry* entry, uint32_t* listCount) {
    const MotionData* header = BodyAt<MotionData>(motion, 0);
    if (header == nullptr || nodeIndex < 0 || header->nodeTable == 0) return false;
    const uint32_t lists = header->listCount & 0xFu;
    if (lists < 1 || lists > 3) return false;
    const uint64_t offset = header->nodeTable + static_cast<uint64_t>(nodeIndex) * 8u * lists;
    if (offset > UINT32_MAX) return false;
    const auto* words = reinterpret_cast<const uint32_t*>(BodyBytesAt(motion, static_cast<uint32_t>(offset), 8u * lists));
    if (words == nullptr) return false;
    *entry = MotionNodeEntry{};
    for (uint32_t i = 0; i < lists; ++i) {
        entry->keyLists[i] = words[i];
        entry->keyCounts[i] = static_cast<int32_t>(words[lists + i]);
    }
    *listCount = lists;
    return true;
}

void mdlApplyPosition(const ModelObject& node) {
    float v[3] = {node.position[0], node.position[1], node.position[2]};
    uint32_t field = 0;
    int32_t count = 0;
    if (FindKeyList(KeyKind::Position, &field, &count))
        mdlSampleVectorKeys(FollowArray<VectorKey>(mdlStateRef().motion, field, static_cast<uint32_t>(count)), count,
                            mdlStateRef().frame, v);
    mdlTranslate(v[0], v[1], v[2]);
}

void mdlApplyRotation(const ModelObject& node) {
    float a[3] = {mdlAngleToRadians(node.rotation[0]), mdlAngleToRadians(node.rotation[1]),
                  mdlAngleToRadians(node.rotation[2])};
    uint32_t field = 0;
    int32_t count = 0;
    if (FindKeyList(KeyKind::Angle, &field, &count))
        mdlSampleAngleKeys(FollowArray<AngleKey>(mdlStateRef().motion, field, static_cast<uint32_t>(count)), count,
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
    if (FindKeyList(KeyKind::Scale, &field, &count))
        mdlSampleVectorKeys(FollowArray<VectorKey>(mdlStateRef().motion, field, static_cast<uint32_t>(count)), count,
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
    const ModelObject* node = BodyAt<ModelObject>(s.model, nodeOffset);
    if (node == nullptr) return;

    uint32_t visitsLeft = s.model.size / static_cast<uint32_t>(sizeof(ModelObject));
    uint32_t siblings[kMaxTreeDepth];
    bool pushed[kMaxTreeDepth];
    int depth = 0;
    for (;;) {
        --visitsLeft;
        pushed[depth] = mdlPushMatrix() == 0;
        if (pushed[depth]) mdlApplyNodeTransform(*node);
        mdlNextNode();
        if (pushed[depth]) {
            if (const ChunkModel* model = FollowPointer<ChunkModel>(s.model, node->model)) mdlDrawModel(*model);
        }
        siblings[depth] = node->sibling;

        const ModelObject* child = nullptr;
        if (visitsLeft > 0 && depth + 1 < kMaxTreeDepth) child = FollowPointer<ModelObject>(s.model, node->child);
        if (child != nullptr) {
            ++depth;
            node = child;
            continue;
        }
        // Leave finished levels until one has a sibling to go on with.
        for (;;) {
            if (pushed[depth]) mdlPopMatrix();
            const ModelObject* next = visitsLeft > 0 ? FollowPointer<ModelObject>(s.model, siblings[depth]) : nullptr;
            if (next != nullptr) {
                node = next;
                break;
            }
            if (depth == 0) return;
            --depth;
        }
    }
}
