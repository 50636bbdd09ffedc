#pragma once
// The host side of scene import and export: the import interface through which an importer creates
// nodes and lights, and the export interface the host passes to an exporter. The plug-in side
// (SceneImport, SceneExport) is in plugin.h.
#include "host/light.h"
#include "host/node.h"

// A node being created by an importer. It joins the scene with ImpInterface::AddNodeToScene.
class ImpNode {
public:
    virtual ~ImpNode() = default;
    virtual void Reference(Object* obj) = 0;
    virtual void SetTransform(TimeValue t, const Matrix3& tm) = 0;
    virtual void SetName(const char* name) = 0;
    virtual void SetPivot(const Point3& p) = 0;
    virtual INode* GetINode() = 0;
};

// Given to an importer for one import. Every ImpNode it creates belongs to it and lives as long as
// it does; the INodes behind them belong to the scene.
class ImpInterface {
public:
    virtual ~ImpInterface() = default;
    virtual ImpNode* CreateNode() = 0;
    virtual void AddNodeToScene(ImpNode* node) = 0;
    // A new light of a kind (OMNI_LIGHT, TSPOT_LIGHT, DIR_LIGHT, FSPOT_LIGHT, TDIR_LIGHT); null for
    // an unknown kind.
    virtual GenLight* CreateLightObject(int type) = 0;
    virtual Object* CreateTargetObject() = 0;
    virtual void SetAmbient(TimeValue t, const Point3& color) = 0;
    virtual void SetAnimRange(const Interval& range) = 0;
    virtual void RedrawViews() = 0;
    virtual int NewScene() = 0;
};

// Given to an exporter for one export. The scene itself is reached through the core interface.
class ExpInterface {
public:
    virtual ~ExpInterface() = default;
};
