<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.10" name="rgb" tilewidth="13" tileheight="9" spacing="3" margin="2" tilecount="9" columns="3">
 <tileoffset x="1" y="2"/>
 <image source="keyed_rgb.png" trans="#FF00FF" width="49" height="37"/>
</tileset>
