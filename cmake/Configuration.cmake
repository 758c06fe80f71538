# Build-time configuration shared with deployments (see docs/configuration.md).
# Each part of the system adds its cache variables here.
